// The Nokia full canvas as a handset with the Nokia API carries it: a plain canvas subclass.
package com.nokia.mid.ui;

import javax.microedition.lcdui.Canvas;

public abstract class FullCanvas extends Canvas {
  protected FullCanvas() {}
}
