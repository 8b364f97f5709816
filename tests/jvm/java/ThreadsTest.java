import doc.NativeWindows;
import java.io.File;

/**
 * Several Java threads call the library at once: registry readers, printer-name
 * and option-only print calls, a thread printing reports on the Null printer, and
 * threads launching programs that they wait for. Each checks every result. The
 * argument is a work folder with bin\sleep_then_write.exe, a report
 * reports\small.txt and an empty out\.
 */
public class ThreadsTest {
    static final int HKEY_CURRENT_USER = 0x80000001;
    static final int HKEY_CLASSES_ROOT = 0x80000000;
    static final Checks check = new Checks();
    static String work;

    abstract static class Worker extends Thread {
        final int id;
        Worker(int id) {
            this.id = id;
            setDaemon(true);  // a thread that never ends must not keep the JVM alive
        }
        public void run() {
            try {
                work();
            } catch (Throwable t) {
                check.failed(getClass().getName() + " " + id, t);
            }
        }
        abstract void work() throws Exception;
    }

    static class RegistryReader extends Worker {
        RegistryReader(int id) { super(id); }
        void work() {
            for (int i = 0; i < 300; ++i) {
                String graphics = NativeWindows.read_registry_string(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", "Graphics");
                String command = NativeWindows.read_registry_string(HKEY_CLASSES_ROOT, "exefile\\shell\\open\\command", "");
                String missing = NativeWindows.read_registry_string(HKEY_CURRENT_USER, "Software\\Quillet\\Thread" + id, "v" + i);
                if (!"null".equals(graphics) || !"\"%1\" %*".equals(command)
                        || !("**ERROR** RegOpenKeyEx() Registry Key not found: Software\\Quillet\\Thread" + id).equals(missing)) {
                    check.that(false, "registry reader " + id + " call " + i + ": " + graphics + " | " + command + " | " + missing);
                    return;
                }
            }
            check.that(true, "registry reader " + id);
        }
    }

    static class PrinterCaller extends Worker {
        PrinterCaller(int id) { super(id); }
        void work() {
            for (int i = 0; i < 300; ++i) {
                String name = NativeWindows.get_printer_name();
                boolean printed = NativeWindows.quillet(new String[] {"-copies=2", "/orientation=Landscape", "-pitch=12"});
                // The printing thread may make Null current at any moment.
                if (!printed || !("PDF".equals(name) || "Null".equals(name))) {
                    check.that(false, "printer caller " + id + " call " + i + ": " + printed + " " + name);
                    return;
                }
            }
            check.that(true, "printer caller " + id);
        }
    }

    static class Printer extends Worker {
        Printer(int id) { super(id); }
        void work() {
            for (int i = 0; i < 5; ++i)
                check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {
                    "-printer_id=Null", "-interactive=none", work + "\\reports\\small.txt"}), "printing thread, report " + i);
        }
    }

    static class Launcher extends Worker {
        Launcher(int id) { super(id); }
        void work() {
            for (int i = 0; i < 3; ++i) {
                File out = new File(work + "\\out\\thread" + id + "-" + i + ".txt");
                NativeWindows.launch_document("**NULL**", "/W " + work + "\\bin\\sleep_then_write.exe 200 " + out);
                check.that(out.exists(), "launcher " + id + " waited for its program " + i);
            }
        }
    }

    public static void main(String[] args) {
        work = args[0];
        try {
            Worker[] workers = {
                new RegistryReader(1), new RegistryReader(2), new RegistryReader(3),
                new PrinterCaller(4), new PrinterCaller(5), new Printer(6), new Launcher(7), new Launcher(8) };
            for (Worker worker : workers) worker.start();
            long end = System.currentTimeMillis() + 240000;
            for (Worker worker : workers) {
                worker.join(Math.max(1, end - System.currentTimeMillis()));
                check.that(!worker.isAlive(), worker.getClass().getName() + " " + worker.id + " has ended");
            }
        } catch (Throwable t) {
            check.failed("unexpected", t);
        }
        check.finish();
        System.exit(0);
    }
}
