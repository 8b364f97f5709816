import doc.NativeWindows;

/**
 * Loads doc.NativeWindows from the Quillet jar (the class path holds no other copy).
 *   JarTest use [REPORT]   the library of the release answers; with REPORT, prints it
 *                          (-interactive=none)
 *   JarTest planted        the library answers as the planted copy (jar_test.py) does
 *   JarTest fails [BASE]   loading fails with an UnsatisfiedLinkError, whose message is
 *                          printed on a line starting "message: "; with BASE, the jar's
 *                          copy goes to BASE\u03A9mega (quillet.native.dir)
 */
public class JarTest {
    static final String MISSING = "Software\\Quillet\\No Such Key";

    public static void main(String[] args) {
        Checks check = new Checks();
        try {
            if (args[0].equals("use")) {
                check.equal("PDF", NativeWindows.get_printer_name(), "get_printer_name");
                check.equal("null", NativeWindows.read_registry_string(0x80000001, "Software\\Wine\\Drivers", "Graphics"),
                        "read_registry_string");
                check.equal("**ERROR** RegOpenKeyEx() Registry Key not found: " + MISSING,
                        NativeWindows.read_registry_string(0x80000001, MISSING, "x"), "the release's library answers");
                if (args.length > 1)
                    check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {"-interactive=none", args[1]}), "quillet");
            } else if (args[0].equals("planted")) {
                check.equal("**ERROR** RegOpenKeyEx() Registry Key PLANTED!!: " + MISSING,
                        NativeWindows.read_registry_string(0x80000001, MISSING, "x"), "the planted library answers");
            } else {
                if (args.length > 1) System.setProperty("quillet.native.dir", args[1] + "\\\u03A9mega");
                try {
                    NativeWindows.get_printer_name();
                    check.that(false, "the library loaded");
                } catch (UnsatisfiedLinkError e) {
                    System.out.println("message: " + Checks.ascii(String.valueOf(e.getMessage())));
                    check.that(e.getMessage() != null, "the error has a message");
                }
            }
        } catch (Throwable t) {
            check.failed("unexpected", t);
        }
        check.finish();
    }
}
