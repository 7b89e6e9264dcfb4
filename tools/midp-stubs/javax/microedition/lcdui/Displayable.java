// Compile-time stand-in for what a MIDP display shows.
package javax.microedition.lcdui;

public abstract class Displayable {
  Displayable() {}
}
