// Compile-time stand-in for the MIDP canvas: only what the compatibility classes refer to.
// The handset supplies the real class.
package javax.microedition.lcdui;

public abstract class Canvas {
  protected Canvas() {}
}
