// Prints the width and height that a game's own canvas class reports:
//
//   java CanvasSize CLASS PATH[:PATH...]
//
// The object is made without running the game's constructor (which would start the game), then
// getWidth and getHeight are called on it as the game calls them.
import java.io.File;
import java.lang.reflect.Field;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.ArrayList;
import java.util.List;

public class CanvasSize {
  public static void main(String[] args) throws Exception {
    List<URL> urls = new ArrayList<>();
    for (String path : args[1].split(":")) urls.add(new File(path).toURI().toURL());
    ClassLoader loader =
        new URLClassLoader(urls.toArray(new URL[0]), ClassLoader.getPlatformClassLoader());
    Class<?> canvas = Class.forName(args[0], false, loader);
    Field field = Class.forName("sun.misc.Unsafe").getDeclaredField("theUnsafe");
    field.setAccessible(true);
    sun.misc.Unsafe unsafe = (sun.misc.Unsafe) field.get(null);
    Object screen = unsafe.allocateInstance(canvas);
    System.out.println(canvas.getMethod("getWidth").invoke(screen) + " "
        + canvas.getMethod("getHeight").invoke(screen));
  }
}
