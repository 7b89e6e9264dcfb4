// Compile-time stand-in for the CLDC root class. Compiling against this small java.lang rather
// than the desktop one keeps desktop-only API (StringBuilder, boxing) out of the handset classes.
package java.lang;

public class Object {
  public Object() {}
}
