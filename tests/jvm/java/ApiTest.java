import doc.NativeWindows;
import java.io.File;

/**
 * Every method of doc.NativeWindows as a Java program meets it, with the values
 * the guide documents. Argument: a work folder prepared by api_test.py, holding
 * copies of sleep_then_write.exe in bin\, "My Tools\" and "\u03A9mega\" and an
 * empty out\; the registry key HKCU\Software\Quillet JVM Test is filled by it too.
 * The Print Setup dialog is answered from outside: Cancel, then OK.
 */
public class ApiTest {
    static final int HKEY_CLASSES_ROOT = 0x80000000;
    static final int HKEY_CURRENT_USER = 0x80000001;
    static final int HKEY_LOCAL_MACHINE = 0x80000002;
    static final int HKEY_USERS = 0x80000003;
    static final String KEY = "Software\\Quillet JVM Test";
    static final String KEY_ERROR = "**ERROR** RegOpenKeyEx() Registry Key not found: ";
    static final String VALUE_ERROR = "**ERROR** RegQueryValueEx() Data Value not found: ";

    static final Checks check = new Checks();
    static String work;
    static int outputs;

    public static void main(String[] args) {
        work = args[0];
        try {
            printer();
            registry();
            launching();
            printing();
        } catch (Throwable t) {
            check.failed("unexpected", t);
        }
        check.finish();
    }

    static void printer() {
        check.equal("PDF", NativeWindows.get_printer_name(), "get_printer_name");
        check.equal(Boolean.FALSE, NativeWindows.quillet_setup(), "quillet_setup answered Cancel");
        check.equal(Boolean.TRUE, NativeWindows.quillet_setup(), "quillet_setup answered OK");
        check.equal("PDF", NativeWindows.get_printer_name(), "get_printer_name after OK on the same printer");
    }

    static void registry() {
        check.equal("C:\\Reports\\Daily", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Folder"),
                "a string value");
        check.equal("default value", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, ""),
                "the key's default value");
        check.equal(KEY_ERROR + KEY + "\\Missing",
                NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY + "\\Missing", "Folder"), "a missing key");
        check.equal(VALUE_ERROR + "Nope", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Nope"),
                "a missing value");
        check.equal(VALUE_ERROR, NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY + "\\No Default", ""),
                "a key without a default value");
        String x255 = repeat('x', 255);
        check.equal(x255, NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Long255"),
                "a value of 255 characters");
        check.equal(VALUE_ERROR + "Long256", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Long256"),
                "a value of 256 characters");

        // Text in the ANSI code page (1252) both ways: a value name with umlauts,
        // data with umlauts and the euro sign.
        check.equal("Gr\u00f6\u00dfe \u20ac 5",
                NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Gr\u00fc\u00dfe"), "code page 1252 both ways");
        // Data the code page cannot spell comes back with '?' in its place.
        check.equal("?? 5", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Wide"),
                "data outside the code page");
        // A key named outside the code page is not found (whatever the text then spells).
        check.that(NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY + "\\\u540d", "Folder")
                .startsWith(KEY_ERROR), "a key named outside the code page is not found");

        check.equal(KEY_ERROR + KEY, NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY + "\u0000\\Missing",
                "Folder"), "a key named with \\u0000 is not found");
        check.equal(VALUE_ERROR + "Folder", NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, "Folder\u0000x"),
                "a value named with \\u0000 is not found");
        check.equal(KEY_ERROR, NativeWindows.read_registry_string(HKEY_CURRENT_USER, null, "Folder"), "null subkey");
        check.equal(VALUE_ERROR, NativeWindows.read_registry_string(HKEY_CURRENT_USER, KEY, null), "null value_name");

        // The other roots of the guide: each opens its own tree.
        check.equal("\"%1\" %*", NativeWindows.read_registry_string(HKEY_CLASSES_ROOT,
                "exefile\\shell\\open\\command", ""), "HKEY_CLASSES_ROOT");
        check.that(!NativeWindows.read_registry_string(HKEY_LOCAL_MACHINE,
                "Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion").startsWith("**ERROR** "),
                "HKEY_LOCAL_MACHINE");
        check.equal(VALUE_ERROR + "Nope", NativeWindows.read_registry_string(HKEY_USERS, ".DEFAULT", "Nope"),
                "HKEY_USERS (the key opens)");
    }

    static void launching() throws Exception {
        String plain = work + "\\bin\\sleep_then_write.exe";
        String spaced = "\"" + work + "\\My Tools\\sleep_then_write.exe\"";
        String omega = "\"" + work + "\\\u03A9mega\\sleep_then_write.exe\"";

        // /W waits for the program; without it the call returns at once.
        File waited = output();
        check.equal(Boolean.TRUE, NativeWindows.launch_document("**NULL**", "/W " + plain + " 300 " + waited),
                "launch_document /W");
        check.that(waited.exists(), "launch_document /W returns after the program has ended");
        File started = output();
        long before = System.currentTimeMillis();
        check.equal(Boolean.TRUE, NativeWindows.launch_document("**NULL**", plain + " 1500 " + started),
                "launch_document without /W");
        check.that(!started.exists() && System.currentTimeMillis() - before < 1400,
                "launch_document without /W returns before the program has ended");
        check.that(Checks.appears(started, 30000), "the program started without /W runs to its end");

        // A program in double quotes (a blank in its folder), the "open" verb, the
        // parameters passed on as they are, and any verb starting **NULL**.
        File quoted = output();
        NativeWindows.launch_document("open", "/W " + spaced + " 0 " + quoted + " a  b");
        check.that(quoted.exists(), "a quoted program with the open verb");
        if (quoted.exists()) check.equal("0 " + quoted + " a  b", Checks.lines(quoted)[0], "its parameters");
        File marker = output();
        NativeWindows.launch_document("**NULL**, please", "/w " + plain + " 0 " + marker);
        check.that(marker.exists(), "a verb that starts with **NULL** is the default verb");

        // A program whose folder the ANSI code page cannot spell is launched by its Unicode name.
        File wide = output();
        NativeWindows.launch_document("**NULL**", "/W " + omega + " 0 " + wide);
        check.that(wide.exists(), "a program named outside the code page (launch_document)");
        File wide2 = output();
        NativeWindows.shellexec(new String[] {"/W " + omega + " 0 " + wide2});
        check.that(wide2.exists(), "a program named outside the code page (shellexec)");

        // shellexec: in order, each /W command waited for before the next starts.
        File first = output();
        File second = output();
        check.equal(Boolean.TRUE, NativeWindows.shellexec(new String[] {
            "/W " + plain + " 500 " + first, "/W " + plain + " 0 " + second + " --after=" + first}), "shellexec");
        check.that(second.exists(), "shellexec waits for its last /W command");
        if (second.exists()) check.equal("present", Checks.lines(second)[1], "shellexec runs its commands in order");

        // Nulls: nothing launched, true returned.
        File never = output();
        check.equal(Boolean.TRUE, NativeWindows.launch_document(null, "/W " + plain + " 0 " + never),
                "launch_document with a null verb");
        check.equal(Boolean.TRUE, NativeWindows.launch_document("**NULL**", null), "launch_document with a null command");
        check.equal(Boolean.TRUE, NativeWindows.shellexec(null), "shellexec(null)");
        check.equal(Boolean.TRUE, NativeWindows.shellexec(new String[0]), "shellexec of no commands");
        File afterNull = output();
        check.equal(Boolean.TRUE, NativeWindows.shellexec(new String[] {null, "/W " + plain + " 0 " + afterNull}),
                "shellexec with a null element");
        check.that(afterNull.exists(), "shellexec skips a null element and runs the rest");
        // A command holding U+0000 launches nothing: cut there (Avian hands the
        // character out as a zero byte), it would start another.
        File cut = output();
        NativeWindows.launch_document("**NULL**", "/W " + plain + " 0 " + cut + "\u0000x");
        NativeWindows.shellexec(new String[] {"/W " + plain + " 0 " + cut + "\u0000x"});
        Thread.sleep(500);
        check.that(!never.exists(), "a null verb launches nothing");
        check.that(!cut.exists(), "a command holding \\u0000 launches nothing");
    }

    static void printing() throws Exception {
        check.equal(Boolean.TRUE, NativeWindows.quillet(null), "quillet(null)");
        check.equal(Boolean.TRUE, NativeWindows.quillet(new String[0]), "quillet of no arguments");
        check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {null, "-copies=2", null}),
                "quillet with null elements and options only");
        // A report that cannot be opened: true all the same, and no box.
        check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {
            "-printer_id=Null", work + "\\out\\no such report.txt"}), "quillet of a missing report");
        // A report named with U+0000 is not the file named before it.
        File victim = output();
        java.io.FileOutputStream out = new java.io.FileOutputStream(victim);
        out.write("NEVER PRINTED\n".getBytes("US-ASCII"));
        out.close();
        NativeWindows.quillet(new String[] {"-printer_id=Null", "-interactive=none", "-disposition=scratch",
            victim + "\u0000.tmp"});
        check.that(victim.exists(), "a report named with \\u0000 names nothing (not printed and scratched)");
        // A printer that cannot be opened, with no message boxes (api_test.py sets
        // QUILLET_NO_MESSAGE_BOXES): the call returns, the report not printed.
        check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {
            "-interactive=none", "-printer_id=NoSuchPrinter", victim.getPath()}), "quillet on a wrong printer");
    }

    static File output() {
        return new File(work + "\\out\\launched" + (++outputs) + ".txt");
    }

    static String repeat(char c, int n) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < n; ++i) out.append(c);
        return out.toString();
    }
}
