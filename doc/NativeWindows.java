package doc;

import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UnsupportedEncodingException;
import java.util.Random;

/**
 * Native services of QUILLETDLL.dll: report printing, printer setup, shell and registry.
 *
 * <p>The class loads the library when it is first used, the first of these that applies:
 * <ol>
 * <li>the system property {@code quillet.library.path} names a folder: its QUILLETDLL.dll;
 * <li>the class path holds the DLL of the running virtual machine's architecture (the
 * Quillet jar's {@code doc/native/x86/} or {@code doc/native/x64/}): that DLL, copied once
 * into a per-user folder named by its SHA-256 ({@code %LOCALAPPDATA%\Quillet\native\<hash>\},
 * {@code java.io.tmpdir}'s {@code quillet-native\<hash>\} when that cannot be written, or
 * the folder that the system property {@code quillet.native.dir} names) and loaded from
 * there;
 * <li>otherwise (the class compiled into an application without the jar) {@code
 * System.loadLibrary("QUILLETDLL")}, which searches {@code java.library.path}.
 * </ol>
 * A QUILLETDLL.dll that happens to lie on {@code java.library.path} (on Windows the current
 * folder and {@code PATH} too) is therefore never loaded in place of the jar's own. When
 * loading fails, the {@code UnsatisfiedLinkError} says what was tried and why it failed.
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
        String chosen = System.getProperty("quillet.library.path");
        if (chosen != null && chosen.length() > 0) {
            File dll = new File(chosen, DLL);
            try {
                System.load(dll.getAbsolutePath());
                return;
            } catch (UnsatisfiedLinkError e) {
                throw failure("Cannot load " + dll.getAbsolutePath() + " (quillet.library.path): " + e.getMessage(), e);
            }
        }
        String arch = System.getProperty("os.arch");
        String folder = archFolder(arch);
        String resource = folder != null ? "/doc/native/" + folder + "/" + DLL : null;
        if (resource != null && NativeWindows.class.getResource(resource) != null) {
            File copy = null;
            Throwable cause;
            try {
                copy = copyFromJar(resource);
                System.load(copy.getAbsolutePath());
                return;
            } catch (IOException e) {
                cause = e;
            } catch (UnsatisfiedLinkError e) {
                cause = e;
            }
            String message = "Cannot load " + DLL + ": the jar's " + resource.substring(1)
                    + (copy != null ? ", copied to " + copy.getAbsolutePath() : "") + ": " + cause.getMessage();
            if (copy != null && !ansiPath(copy.getAbsolutePath()))
                message += ". The copy's path holds characters outside the system's ANSI code page, by which Java 8"
                        + " and 11 load libraries: name a folder without them in the system property"
                        + " quillet.native.dir";
            throw failure(message, cause);
        }
        try {
            System.loadLibrary(LIBRARY);
        } catch (UnsatisfiedLinkError e) {
            throw failure("Cannot load " + DLL + ". The class path holds none for os.arch " + arch
                    + " (is the Quillet jar on it?), and System.loadLibrary(\"" + LIBRARY + "\") with"
                    + " java.library.path=" + System.getProperty("java.library.path") + " failed: " + e.getMessage(), e);
        }
    }

    private static UnsatisfiedLinkError failure(String message, Throwable cause) {
        UnsatisfiedLinkError failure = new UnsatisfiedLinkError(message);
        failure.initCause(cause);
        return failure;
    }

    /**
     * Whether the system's ANSI code page ({@code sun.jnu.encoding} on Windows) spells a
     * path; where that is not known, whether the path is ASCII.
     */
    private static boolean ansiPath(String path) {
        String encoding = System.getProperty("sun.jnu.encoding");
        if (encoding != null) {
            try {
                return new String(path.getBytes(encoding), encoding).equals(path);
            } catch (UnsupportedEncodingException e) {
                // judged as ASCII below
            }
        }
        for (int i = 0; i < path.length(); ++i)
            if (path.charAt(i) > 0x7F) return false;
        return true;
    }

    /** The jar's folder for a virtual machine's os.arch, or null when it has none. */
    private static String archFolder(String arch) {
        if (arch == null) return null;
        if (arch.equals("amd64") || arch.equals("x86_64") || arch.equals("x64")) return "x64";
        if (arch.equals("x86") || arch.matches("i[3-6]86")) return "x86";
        return null;
    }

    /**
     * The DLL of the jar as a file of this user, in the folder named by its SHA-256
     * under quillet.native.dir, else under LOCALAPPDATA, else (or when that cannot be
     * written) under java.io.tmpdir.
     */
    private static File copyFromJar(String resource) throws IOException {
        byte[] dll = readResource(resource);
        String hash = hexDigits(readResource(resource + ".sha256"));
        if (hash.length() != 64) throw new IOException(resource.substring(1) + ".sha256 holds no SHA-256");
        String chosen = System.getProperty("quillet.native.dir");
        if (chosen != null && chosen.length() > 0) return copyInto(new File(chosen, hash), dll);
        IOException local = null;
        String localAppData = System.getenv("LOCALAPPDATA");
        if (localAppData != null && localAppData.length() > 0) {
            try {
                return copyInto(new File(localAppData, "Quillet" + File.separator + "native" + File.separator + hash),
                        dll);
            } catch (IOException e) {
                local = e;
            }
        }
        String temp = System.getProperty("java.io.tmpdir");
        if (temp == null) {
            if (local != null) throw local;
            throw new IOException("no per-user folder: LOCALAPPDATA and java.io.tmpdir are not set");
        }
        try {
            return copyInto(new File(temp, "quillet-native" + File.separator + hash), dll);
        } catch (IOException e) {
            if (local == null) throw e;
            throw new IOException(local.getMessage() + "; then " + e.getMessage());
        }
    }

    /**
     * The copy in `folder`: the file already there when its bytes are the DLL's, else a
     * new one, written under a name of its own and then renamed, so a virtual machine
     * never loads a file that another is still writing.
     */
    private static File copyInto(File folder, byte[] dll) throws IOException {
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
