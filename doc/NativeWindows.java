package doc;

import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Random;

/**
 * Native services of QUILLETDLL.dll: report printing, printer setup, shell and registry.
 *
 * <p>The class loads the library when it is first used. It asks {@code
 * System.loadLibrary("QUILLETDLL")} first, so a QUILLETDLL.dll on {@code
 * java.library.path} is the one loaded. Only when that fails does it take the DLL of the
 * running virtual machine's architecture from the Quillet jar ({@code
 * doc/native/x86/} or {@code doc/native/x64/}), copy it once into a per-user folder
 * named by the DLL's SHA-256 ({@code %LOCALAPPDATA%\Quillet\native\<hash>\}, or the
 * folder that the system property {@code quillet.native.dir} names) and load that copy.
 * When neither works, the {@code UnsatisfiedLinkError} says what was tried and why each
 * attempt failed.
 */
public class NativeWindows {
    static {
        loadLibrary();
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

    // ---- loading -----------------------------------------------------------------

    private static final String LIBRARY = "QUILLETDLL";
    private static final String DLL = LIBRARY + ".dll";

    private static void loadLibrary() {
        UnsatisfiedLinkError byName;
        try {
            System.loadLibrary(LIBRARY);
            return;
        } catch (UnsatisfiedLinkError e) {
            byName = e;
        }
        String arch = System.getProperty("os.arch");
        String folder = archFolder(arch);
        String second;
        Throwable cause;
        if (folder == null) {
            second = "the jar holds QUILLETDLL.dll for x86 and x64 only, and this virtual machine's os.arch is "
                    + arch;
            cause = null;
        } else {
            String resource = "/doc/native/" + folder + "/" + DLL;
            File copy = null;
            try {
                copy = copyFromJar(resource);
                System.load(copy.getAbsolutePath());
                return;
            } catch (IOException e) {
                cause = e;
            } catch (UnsatisfiedLinkError e) {
                cause = e;
            }
            second = "the jar's " + resource.substring(1)
                    + (copy != null ? ", copied to " + copy.getAbsolutePath() : "") + ": " + cause.getMessage();
        }
        UnsatisfiedLinkError failure = new UnsatisfiedLinkError("Cannot load " + DLL + ". Tried System.loadLibrary(\""
                + LIBRARY + "\") with java.library.path=" + System.getProperty("java.library.path") + ": "
                + byName.getMessage() + ". Then " + second);
        if (cause != null) failure.initCause(cause);
        throw failure;
    }

    /** The jar's folder for a virtual machine's os.arch, or null when it has none. */
    private static String archFolder(String arch) {
        if (arch == null) return null;
        if (arch.equals("amd64") || arch.equals("x86_64") || arch.equals("x64")) return "x64";
        if (arch.equals("x86") || arch.matches("i[3-6]86")) return "x86";
        return null;
    }

    /**
     * The DLL of the jar as a file of this user: the copy already there when its bytes
     * are the jar's, else a new one. A copy is written under a name of its own and then
     * renamed, so a virtual machine never loads a file that another is still writing.
     */
    private static File copyFromJar(String resource) throws IOException {
        byte[] dll = readResource(resource);
        String hash = hexDigits(readResource(resource + ".sha256"));
        if (hash.length() != 64) throw new IOException(resource.substring(1) + ".sha256 holds no SHA-256");
        File folder = new File(baseFolder(), hash);
        File target = new File(folder, DLL);
        if (sameBytes(target, dll)) return target;
        if (!folder.isDirectory() && !folder.mkdirs() && !folder.isDirectory())
            throw new IOException("cannot create the folder " + folder.getAbsolutePath());
        File partial = newPartialFile(folder);
        try {
            OutputStream out = new FileOutputStream(partial);
            try {
                out.write(dll);
            } finally {
                out.close();
            }
            if (partial.renameTo(target)) return target;
            // Another virtual machine may have put its copy in place first.
            if (sameBytes(target, dll)) return target;
            // Whatever else is there (a damaged copy) gives way to this one.
            target.delete();
            if (partial.renameTo(target) || sameBytes(target, dll)) return target;
            throw new IOException("cannot rename " + partial.getAbsolutePath() + " to " + DLL);
        } finally {
            partial.delete();  // gone already once renamed
        }
    }

    private static File baseFolder() throws IOException {
        String chosen = System.getProperty("quillet.native.dir");
        if (chosen != null && chosen.length() > 0) return new File(chosen);
        String local = System.getenv("LOCALAPPDATA");
        if (local != null && local.length() > 0) return new File(local, "Quillet" + File.separator + "native");
        String temp = System.getProperty("java.io.tmpdir");
        if (temp == null) throw new IOException("no per-user folder: LOCALAPPDATA and java.io.tmpdir are not set");
        return new File(temp, "quillet-native");
    }

    /** A new, empty file in `folder` that no other virtual machine has. */
    private static File newPartialFile(File folder) throws IOException {
        Random random = new Random();
        for (int i = 0; i < 100; ++i) {
            File file = new File(folder, DLL + "." + Long.toHexString(random.nextLong() ^ System.nanoTime()) + ".partial");
            if (file.createNewFile()) return file;
        }
        throw new IOException("cannot create a file in " + folder.getAbsolutePath());
    }

    private static byte[] readResource(String name) throws IOException {
        InputStream in = NativeWindows.class.getResourceAsStream(name);
        if (in == null) throw new IOException("the class path holds no " + name.substring(1) + " (is the Quillet jar on it?)");
        try {
            return readAll(in);
        } finally {
            in.close();
        }
    }

    /** The leading lower-case hexadecimal digits of a text in ASCII. */
    private static String hexDigits(byte[] text) {
        StringBuilder digits = new StringBuilder();
        for (byte b : text) {
            if (!(b >= '0' && b <= '9' || b >= 'a' && b <= 'f')) break;
            digits.append((char) b);
        }
        return digits.toString();
    }

    private static boolean sameBytes(File file, byte[] expected) {
        if (!file.isFile() || file.length() != expected.length) return false;
        try {
            InputStream in = new FileInputStream(file);
            try {
                byte[] actual = readAll(in);
                if (actual.length != expected.length) return false;
                for (int i = 0; i < actual.length; ++i)
                    if (actual[i] != expected[i]) return false;
                return true;
            } finally {
                in.close();
            }
        } catch (IOException e) {
            return false;
        }
    }

    private static byte[] readAll(InputStream in) throws IOException {
        byte[] data = new byte[1 << 16];
        int length = 0;
        for (int n; (n = in.read(data, length, data.length - length)) > 0;) {
            length += n;
            if (length == data.length) {
                byte[] larger = new byte[data.length * 2];
                System.arraycopy(data, 0, larger, 0, length);
                data = larger;
            }
        }
        byte[] result = new byte[length];
        System.arraycopy(data, 0, result, 0, length);
        return result;
    }
}
