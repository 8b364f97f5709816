import doc.NativeWindows;
import java.io.File;

/**
 * Thousands of calls in a row leave nothing behind: the process's handles stay
 * where they were and its memory stops growing. Neither can be asked from Java
 * (and under Wine GetProcessHandleCount gives 0), so bin\parent_usage.exe,
 * started through the library with /W, reads them from outside: the JVM's
 * entries in the system's handle table and its working set. Argument: a work
 * folder with bin\parent_usage.exe, reports\small.txt and an empty out\.
 */
public class SoakTest {
    static final int HKEY_CURRENT_USER = 0x80000001;
    static final int ROUNDS = 3;
    static final int CALLS_PER_ROUND = 1000;  // of each of the seven calls below
    // Long strings, so that bytes the library kept of each would add up fast: an
    // option it ignores, and a verb for a command that is null (nothing launched).
    static final String UNKNOWN_OPTION = "-no_such_option=" + pad(1000);
    static final String LONG_VERB = "**NULL**" + pad(1000);
    static final Checks check = new Checks();
    static String work;
    static int probes;

    static long[] probe() throws Exception {
        File out = new File(work + "\\out\\usage" + (++probes) + ".txt");
        System.gc();
        NativeWindows.launch_document("**NULL**", "/W " + work + "\\bin\\parent_usage.exe " + out);
        String[] lines = Checks.lines(out);
        long[] usage = {Long.parseLong(lines[0].split(" ")[1]), Long.parseLong(lines[1].split(" ")[1])};
        System.out.println("after round " + (probes - 1) + ": " + usage[0] + " handles, working set " + usage[1] / 1024 + " KiB");
        return usage;
    }

    static void round(int round) {
        // Whole reports first, on the printer that throws them away; it becomes
        // the current printer.
        for (int i = 0; i < 10; ++i) {
            if (!NativeWindows.quillet(new String[] {"-printer_id=Null", "-interactive=none", work + "\\reports\\small.txt"})) {
                check.that(false, "round " + round + " report " + i);
                return;
            }
        }
        for (int i = 0; i < CALLS_PER_ROUND; ++i) {
            String name = NativeWindows.get_printer_name();
            String value = NativeWindows.read_registry_string(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", "Graphics");
            String missing = NativeWindows.read_registry_string(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", "Nope" + i);
            boolean options = NativeWindows.quillet(new String[] {"-copies=2", "-form_id=A4", null, "-orientation=Landscape",
                                                                  UNKNOWN_OPTION});
            boolean nothing = NativeWindows.launch_document(LONG_VERB, null);
            boolean none = NativeWindows.shellexec(new String[] {null});
            boolean empty = NativeWindows.quillet(new String[0]);
            if (!"Null".equals(name) || !"null".equals(value) || !missing.endsWith(": Nope" + i)
                    || !options || !nothing || !none || !empty) {
                check.that(false, "round " + round + " call " + i + ": " + name + " " + value + " " + missing);
                return;
            }
        }
        check.that(true, "round " + round);
    }

    static String pad(int n) {
        StringBuilder out = new StringBuilder();
        while (out.length() < n) out.append("0123456789");
        return out.toString();
    }

    public static void main(String[] args) {
        work = args[0];
        try {
            round(0);  // the first round settles what stays for the life of the process
            long[] first = probe();
            long[] last = first;
            long[][] all = new long[ROUNDS][];
            for (int r = 1; r <= ROUNDS; ++r) {
                long start = System.currentTimeMillis();
                round(r);
                System.out.println("round " + r + ": " + (System.currentTimeMillis() - start) + " ms");
                all[r - 1] = last = probe();
            }
            check.that(last[0] <= first[0] + 2, "handles after " + ROUNDS + " rounds: " + first[0] + " then " + last[0]);
            // Memory may settle in the first round after the probe (the JVM's heap);
            // then it stops growing: 14,000 calls each keeping a copy of its strings would show.
            long growth = last[1] - all[0][1];
            check.that(growth < 512 * 1024, "working set grew by " + growth / 1024 + " KiB in the last "
                    + (ROUNDS - 1) + " rounds");
        } catch (Throwable t) {
            check.failed("unexpected", t);
        }
        check.finish();
    }
}
