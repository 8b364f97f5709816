import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;

/**
 * The checks of one test program. Each check prints a line only when it fails;
 * finish() prints the closing line "N checks, F failures" that the test driver
 * judges the run by. Texts are printed with every character beyond ASCII as
 * \\uXXXX, so nothing depends on the console's code page. Threads may share
 * one Checks.
 */
final class Checks {
    private int checks;
    private int failures;

    synchronized void that(boolean ok, String what) {
        ++checks;
        if (!ok) {
            ++failures;
            System.out.println("FAILED: " + ascii(what));
        }
    }

    void equal(Object expected, Object actual, String what) {
        boolean same = expected == null ? actual == null : expected.equals(actual);
        that(same, what + ": expected " + quote(expected) + ", got " + quote(actual));
    }

    /** A failure that ended a part of the test early (an exception, a timeout). */
    synchronized void failed(String what, Throwable thrown) {
        that(false, what + ": " + thrown);
        thrown.printStackTrace(System.out);
    }

    /** Prints the closing line; returns the number of failures. */
    synchronized int finish() {
        System.out.println(checks + " checks, " + failures + " failures");
        System.out.flush();
        return failures;
    }

    static String quote(Object value) {
        return value == null ? "null" : "\"" + value + "\"";
    }

    static String ascii(String text) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); ++i) {
            char c = text.charAt(i);
            if (c >= 0x20 && c < 0x7F || c == '\n') {
                out.append(c);
            } else {
                String hex = Integer.toHexString(c);
                out.append("\\u");
                for (int pad = hex.length(); pad < 4; ++pad) out.append('0');
                out.append(hex);
            }
        }
        return out.toString();
    }

    /** Waits up to `millis` for a file to exist. */
    static boolean appears(File file, long millis) throws InterruptedException {
        long end = System.currentTimeMillis() + millis;
        while (!file.exists()) {
            if (System.currentTimeMillis() > end) return false;
            Thread.sleep(50);
        }
        return true;
    }

    /** A small file's lines, read as ISO-8859-1 bytes. */
    static String[] lines(File file) throws IOException {
        FileInputStream in = new FileInputStream(file);
        try {
            byte[] data = new byte[(int) file.length()];
            int at = 0;
            for (int n; at < data.length && (n = in.read(data, at, data.length - at)) > 0;) at += n;
            return new String(data, 0, at, "ISO-8859-1").replace("\r", "").split("\n");
        } finally {
            in.close();
        }
    }
}
