// Links every class of a game folder with the JVM's verifier, without running any of the game's
// code, and prints each class that fails with the reason.
//
//   java LinkClasses RUN...      where RUN is GAME_DIR=PATH[:PATH...]
//
// Each run loads the classes found below GAME_DIR through a fresh loader that searches the PATH
// folders in order (the desktop library of java.* comes first, as on a handset). Output lines:
//   <run number> <class name> <error>
import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

public class LinkClasses {
  public static void main(String[] args) throws Exception {
    for (int run = 0; run < args.length; run++) {
      String[] parts = args[run].split("=", 2);
      List<URL> urls = new ArrayList<>();
      for (String path : parts[1].split(":")) urls.add(new File(path).toURI().toURL());
      ClassLoader loader =
          new URLClassLoader(urls.toArray(new URL[0]), ClassLoader.getPlatformClassLoader());
      List<String> names = new ArrayList<>();
      collect(new File(parts[0]), "", names);
      Collections.sort(names);
      for (String name : names) {
        try {
          // Asking for the declared methods links the class, and linking verifies it; nothing
          // is initialized.
          Class.forName(name, false, loader).getDeclaredMethods();
        } catch (Throwable t) {
          System.out.println(run + " " + name + " " + t);
        }
      }
    }
  }

  private static void collect(File dir, String prefix, List<String> out) {
    File[] files = dir.listFiles();
    if (files == null) return;
    for (File f : files) {
      String name = f.getName();
      if (f.isDirectory()) {
        if (!name.equals("META-INF")) collect(f, prefix + name + ".", out);
      } else if (name.endsWith(".class")) {
        out.add(prefix + name.substring(0, name.length() - 6));
      }
    }
  }
}
