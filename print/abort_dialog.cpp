#include "print/abort_dialog.h"

namespace quillet {

int user_abort = 0;
void* cancel_dialog = nullptr;
void* progress_window = nullptr;

}  // namespace quillet
