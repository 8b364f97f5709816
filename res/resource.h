// Identifiers shared by the resource script and the code.
#ifndef QUILLET_RESOURCE_H
#define QUILLET_RESOURCE_H

#define IDC_PROGRESS 100

#endif
