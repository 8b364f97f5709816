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
 * Quillet jar's {@code doc/native/x86/} or {@code doc/native/x64/}): that DLL, checked
 * against the SHA-256 beside it, copied into a per-user folder ({@code
 * %LOCALAPPDATA%\Quillet\native\<hash>\}, or the folder that the system property
 * {@code quillet.native.dir} names; when LOCALAPPDATA is not set or cannot be written, a
 * new folder of {@code java.io.tmpdir} that this virtual machine makes itself) and loaded
 * from there, its bytes compared with the jar's while the file is held open;
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
            File[] copy = new File[1];
            Throwable cause;
            try {
                loadFromJar(resource, copy);
                return;
            } catch (IOException e) {
                cause = e;
            } catch (UnsatisfiedLinkError e) {
                cause = e;
            }
            String message = "Cannot load " + DLL + ": the jar's " + resource.substring(1)
                    + (copy[0] != null ? ", copied to " + copy[0].getAbsolutePath() : "") + ": " + cause.getMessage();
            if (copy[0] != null && !ansiPath(copy[0].getAbsolutePath()))
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
     * Loads the DLL of the jar, checked against its SHA-256, from a copy of this user:
     * in the folder named by its SHA-256 under quillet.native.dir, else under
     * LOCALAPPDATA, else (or when that cannot be written) in a new folder of
     * java.io.tmpdir. copy[0] is the file handed to System.load.
     */
    private static void loadFromJar(String resource, File[] copy) throws IOException {
        byte[] dll = readResource(resource);
        String hash = hexDigits(readResource(resource + ".sha256"));
        if (hash.length() != 64) throw new IOException(resource.substring(1) + ".sha256 holds no SHA-256");
        if (!hash.equals(sha256Hex(dll)))
            throw new IOException("its bytes do not match " + resource.substring(1) + ".sha256: the jar is damaged");
        String chosen = System.getProperty("quillet.native.dir");
        if (chosen != null && chosen.length() > 0) {
            loadCopy(new File(chosen, hash), dll, false, copy);
            return;
        }
        IOException local = null;
        String localAppData = System.getenv("LOCALAPPDATA");
        if (localAppData != null && localAppData.length() > 0) {
            try {
                loadCopy(new File(localAppData, "Quillet" + File.separator + "native" + File.separator + hash), dll,
                        false, copy);
                return;
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
            // Every user may make folders here, so a folder of a name known beforehand
            // may be someone else's, who could change the DLL in it: the copy goes into
            // a folder that this virtual machine has just made, of a name no one knew.
            loadCopy(newFolder(new File(temp)), dll, true, copy);
        } catch (IOException e) {
            if (local == null) throw e;
            throw new IOException(local.getMessage() + "; then " + e.getMessage());
        }
    }

    /**
     * Loads the copy of the DLL in `folder`, made or replaced first when its bytes are
     * not the DLL's. The file is held open while its bytes are compared and while it
     * loads, so no one can rename or delete it in between, and the folder is this
     * user's: the bytes compared are the bytes loaded. `fresh`: the folder was just
     * made, and a file that this virtual machine did not write there is never used.
     */
    private static void loadCopy(File folder, byte[] dll, boolean fresh, File[] copy) throws IOException {
        File target = new File(folder, DLL);
        String path = target.getAbsolutePath();
        String why = "";
        // A copy there already is read once, while held; it is written (again) when
        // it is missing or holds other bytes, at most twice.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0 || fresh) copyInto(folder, dll, fresh);
            InputStream held;
            try {
                held = new FileInputStream(path);
            } catch (IOException e) {
                why = "cannot be read: " + e.getMessage();
                continue;
            }
            boolean same = false;
            try {
                same = sameBytes(held, dll);
                if (same) {
                    copy[0] = target;
                    System.load(path);
                }
            } finally {
                closeQuietly(held);
            }
            if (same) return;
            why = "holds other bytes than the jar's";
        }
        throw new IOException(path + " " + why + ", even after it was written again");
    }

    /** A new folder in `parent`, made now by this virtual machine under a name no one knew. */
    private static File newFolder(File parent) throws IOException {
        Random random = new Random(System.nanoTime() ^ System.identityHashCode(new Object()));
        for (int i = 0; i < 100; ++i) {
            long bits = random.nextLong() ^ System.nanoTime();
            File folder = new File(parent, "quillet-native-" + hex8((int) (bits >>> 32)) + hex8((int) bits));
            // mkdir of a folder that is already there fails on current Java; some
            // virtual machines answer true all the same, so it is asked first.
            if (!folder.exists() && folder.mkdir()) return folder;
        }
        throw new IOException("cannot create a folder in " + parent.getAbsolutePath());
    }

    /**
     * Writes the DLL into `folder` as DLL: under a name of its own first and then
     * renamed, so a virtual machine never loads a file that another is still writing.
     * In a folder that is not `fresh`, whatever is there under that name gives way.
     */
    private static void copyInto(File folder, byte[] dll, boolean fresh) throws IOException {
        File target = new File(folder, DLL);
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
            if (partial.renameTo(target)) return;
            if (fresh) throw new IOException(target.getAbsolutePath() + " was put there by someone else");
            // Another virtual machine may have put its copy in place first.
            if (sameBytes(target, dll)) return;
            // Whatever else is there (a damaged copy) gives way to this one.
            target.delete();
            if (partial.renameTo(target) || sameBytes(target, dll)) return;
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
                return sameBytes(in, expected);
            } finally {
                in.close();
            }
        } catch (IOException e) {
            return false;
        }
    }

    /** Closes `in`; a failure to close what was only read loses nothing. */
    private static void closeQuietly(InputStream in) {
        try {
            in.close();
        } catch (IOException e) {
            // nothing was written
        }
    }

    /** Whether the rest of `in` is `expected`. */
    private static boolean sameBytes(InputStream in, byte[] expected) {
        try {
            byte[] actual = readAll(in);
            if (actual.length != expected.length) return false;
            for (int i = 0; i < actual.length; ++i)
                if (actual[i] != expected[i]) return false;
            return true;
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

    /**
     * The SHA-256 of `data` in lower-case hexadecimal digits, computed here: the class
     * libraries of some virtual machines have no MessageDigest.
     */
    private static String sha256Hex(byte[] data) {
        // (Here, not in a static field: the class loads the library before its fields
        // are set. No method is called in the loops: some virtual machines make every
        // call into a class that is still being initialised a slow one.)
        final int[] constants = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
        };
        int[] h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        // The message, a 1 bit, zeros, and its length in bits: whole blocks of 64 bytes.
        int blocks = (data.length + 8) / 64 + 1;
        int full = data.length / 64;
        byte[] tail = new byte[(blocks - full) * 64];
        System.arraycopy(data, full * 64, tail, 0, data.length - full * 64);
        tail[data.length - full * 64] = (byte) 0x80;
        long bits = (long) data.length * 8;
        for (int i = 0; i < 8; ++i) tail[tail.length - 1 - i] = (byte) (bits >>> (8 * i));
        int[] w = new int[64];
        for (int block = 0; block < blocks; ++block) {
            byte[] from = block < full ? data : tail;
            int at = block < full ? block * 64 : (block - full) * 64;
            for (int t = 0; t < 16; ++t, at += 4)
                w[t] = (from[at] << 24) | ((from[at + 1] & 0xff) << 16) | ((from[at + 2] & 0xff) << 8)
                        | (from[at + 3] & 0xff);
            for (int t = 16; t < 64; ++t) {
                int x = w[t - 15], y = w[t - 2];
                int s0 = (x >>> 7 | x << 25) ^ (x >>> 18 | x << 14) ^ (x >>> 3);
                int s1 = (y >>> 17 | y << 15) ^ (y >>> 19 | y << 13) ^ (y >>> 10);
                w[t] = w[t - 16] + s0 + w[t - 7] + s1;
            }
            int a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
            for (int t = 0; t < 64; ++t) {
                int t1 = k + ((e >>> 6 | e << 26) ^ (e >>> 11 | e << 21) ^ (e >>> 25 | e << 7)) + ((e & f) ^ (~e & g))
                        + constants[t] + w[t];
                int t2 = ((a >>> 2 | a << 30) ^ (a >>> 13 | a << 19) ^ (a >>> 22 | a << 10)) + ((a & b) ^ (a & c) ^ (b & c));
                k = g;
                g = f;
                f = e;
                e = d + t1;
                d = c;
                c = b;
                b = a;
                a = t1 + t2;
            }
            h[0] += a;
            h[1] += b;
            h[2] += c;
            h[3] += d;
            h[4] += e;
            h[5] += f;
            h[6] += g;
            h[7] += k;
        }
        StringBuilder out = new StringBuilder(64);
        for (int word : h) out.append(hex8(word));
        return out.toString();
    }

    /** The eight hexadecimal digits of `word`. */
    private static String hex8(int word) {
        String digits = Integer.toHexString(word);
        return "00000000".substring(digits.length()) + digits;
    }
}
