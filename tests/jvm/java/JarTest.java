import doc.NativeWindows;

/**
 * Loads doc.NativeWindows from the Quillet jar (the class path holds no other copy).
 *   JarTest use [REPORT]  the library answers; with REPORT, prints it (-interactive=none)
 *   JarTest fails         loading fails with an UnsatisfiedLinkError, whose message
 *                         is printed on a line starting "message: "
 */
public class JarTest {
    public static void main(String[] args) {
        Checks check = new Checks();
        try {
            if (args[0].equals("use")) {
                check.equal("PDF", NativeWindows.get_printer_name(), "get_printer_name");
                check.equal("null", NativeWindows.read_registry_string(0x80000001, "Software\\Wine\\Drivers", "Graphics"),
                        "read_registry_string");
                if (args.length > 1)
                    check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {"-interactive=none", args[1]}), "quillet");
            } else {
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
