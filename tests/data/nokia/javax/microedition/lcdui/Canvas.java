// A stand-in for the MIDP canvas that counts how often it is constructed.
package javax.microedition.lcdui;

public abstract class Canvas {
  public static int constructed;

  protected Canvas() {
    constructed++;
  }
}
