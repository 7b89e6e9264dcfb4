// Compile-time stand-in for the MIDP application class.
package javax.microedition.midlet;

public abstract class MIDlet {
  protected MIDlet() {}

  protected abstract void startApp();

  protected abstract void pauseApp();

  protected abstract void destroyApp(boolean unconditional);

  public final void notifyDestroyed() {}
}
