import doc.NativeWindows;

/**
 * Reports printed from Java on the default printer (PDF): one named in code page
 * 1252, one named outside it; print_test.py reads the PDFs back. Then a report on
 * another printer makes that printer the current one. Argument: the folder that
 * holds the reports.
 */
public class PrintTest {
    public static void main(String[] args) {
        Checks check = new Checks();
        String folder = args[0];
        try {
            check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {
                "-interactive=none",
                folder + "\\Gr\u00fc\u00dfe Bericht.txt",
                "\"" + folder + "\\\u540d Bericht.txt\"" }), "quillet on the PDF printer");
            check.equal("PDF", NativeWindows.get_printer_name(), "the default printer before");
            check.equal(Boolean.TRUE, NativeWindows.quillet(new String[] {
                "-printer_id=Null", "-interactive=none", folder + "\\to null.txt" }), "quillet on Null");
            check.equal("Null", NativeWindows.get_printer_name(), "a report's -printer_id becomes the current printer");
        } catch (Throwable t) {
            check.failed("unexpected", t);
        }
        check.finish();
    }
}
