// Stand-in: the type and its place in the hierarchy, for compiling and linking.
package java.lang;

public class Throwable {
  public Throwable() {}
}
