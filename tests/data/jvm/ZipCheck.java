// Reads each archive with java.util.zip as a handset's JAR reader would, both ways: through the
// central directory (ZipFile, what `jar tf` lists) and entry by entry from the local headers
// (ZipInputStream, which checks every entry's size and CRC). Prints what it could not read and
// exits with 1 then.
//
//   java ZipCheck ARCHIVE...
import java.io.FileInputStream;
import java.io.InputStream;
import java.util.Collections;
import java.util.Set;
import java.util.TreeSet;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import java.util.zip.ZipInputStream;

public class ZipCheck {
  public static void main(String[] args) throws Exception {
    boolean good = true;
    for (String archive : args) {
      try {
        Set<String> listed = new TreeSet<>();
        try (ZipFile zip = new ZipFile(archive)) {
          for (ZipEntry entry : Collections.list(zip.entries())) listed.add(entry.getName());
        }
        Set<String> read = new TreeSet<>();
        byte[] buffer = new byte[65536];
        try (ZipInputStream in = new ZipInputStream(new FileInputStream(archive))) {
          for (ZipEntry entry; (entry = in.getNextEntry()) != null; ) {
            while (in.read(buffer) >= 0) {}
            read.add(entry.getName());
          }
        }
        if (!listed.equals(read)) {
          System.out.println(archive + ": the directory lists " + listed + ", the entries are " + read);
          good = false;
        }
      } catch (Exception e) {
        System.out.println(archive + ": " + e);
        good = false;
      }
    }
    System.exit(good ? 0 : 1);
  }
}
