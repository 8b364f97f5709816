package doc;

/** Native services of QUILLETDLL.dll: report printing, printer setup, shell and registry. */
public class NativeWindows {
    static {
        System.loadLibrary("QUILLETDLL");
    }

    /** Prints each report named in args with the options given before it; always true. */
    public static native boolean quillet(String[] args);

    /** Shows the Print Setup dialog; true when the user confirmed a printer. */
    public static native boolean quillet_setup();

    /** The current printer's device name, or a text starting "**ERROR** ". */
    public static native String get_printer_name();

    /** Runs one command line through the shell with the given verb ("**NULL**": default). */
    public static native boolean launch_document(String verb, String command);

    /** Runs each command line in order through the shell with its default verb. */
    public static native boolean shellexec(String[] commands);

    /** Reads a registry value under a root key, or a text starting "**ERROR** ". */
    public static native String read_registry_string(int root, String subkey, String value_name);
}
