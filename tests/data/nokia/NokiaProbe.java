// Calls every member of the Nokia compatibility classes and prints, case by case after a
// "== name" line, what each returned and the graphics calls it made.
import com.nokia.mid.sound.Sound;
import com.nokia.mid.sound.SoundListener;
import com.nokia.mid.ui.DeviceControl;
import com.nokia.mid.ui.DirectGraphics;
import com.nokia.mid.ui.DirectGraphicsImplemented;
import com.nokia.mid.ui.DirectUtils;
import com.nokia.mid.ui.FullCanvas;
import java.util.Arrays;
import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

public class NokiaProbe {
  static final Graphics screen = new Graphics("screen", 0);
  static final DirectGraphics dg = DirectUtils.getDirectGraphics(screen);

  static void print(String line) {
    Graphics.log.append(line).append('\n');
  }

  static void begin(String name) {
    print("== " + name);
  }

  public static void main(String[] args) {
    begin("sound");
    SoundListener listener = new SoundListener() {
      public void soundStateChanged(Sound sound, int event) {
        print("listener called");
      }
    };
    Sound tune = new Sound(new byte[] {1, 2}, 1);
    Sound tone = new Sound(440, 1000L);
    tune.setSoundListener(listener);
    tune.init(440, 5L);
    tune.init(new byte[0], 1);
    tune.play(3);
    print("state " + tune.getState() + " gain " + tune.getGain());
    tune.setGain(5);
    tune.stop();
    tune.resume();
    print("state " + tune.getState() + " gain " + tune.getGain());
    tune.release();
    tone.play(0);
    print("state " + tone.getState() + " gain " + tone.getGain());
    print("concurrent " + Sound.getConcurrentSoundCount(1) + " " + Sound.getConcurrentSoundCount(5));
    int[] formats = Sound.getSupportedFormats();
    print("formats " + Arrays.toString(formats));
    formats[0] = 7;
    print("formats " + Arrays.toString(Sound.getSupportedFormats()));

    begin("device control");
    DeviceControl.setLights(0, 100);
    DeviceControl.flashLights(10L);
    DeviceControl.startVibra(50, 100L);
    DeviceControl.stopVibra();
    print("subclass " + new DeviceControl() {}.getClass().getSuperclass().getName());

    begin("colours");
    dg.setARGBColor(0x12345678);
    dg.setARGBColor(0xFF000000);

    begin("triangles");
    dg.drawTriangle(1, 2, 3, 4, 5, 6, 0xFF00FF00);
    dg.fillTriangle(10, 20, 30, 40, 50, 60, 0x80FF0000);

    begin("polygons");
    int[] xs = {99, 10, 20, 30, 40};
    int[] ys = {98, 99, 1, 2, 3, 4};
    dg.drawPolygon(xs, 1, ys, 2, 4, 0x0000FF);
    dg.fillPolygon(xs, 1, ys, 2, 3, 0xFF112233);
    dg.drawPolygon(xs, 0, ys, 0, 1, 0x445566);

    begin("int pixels");
    int[] argb = {-1, 0xFF102030, 0x00405060, -1, 0x7F708090, 0xFFA0B0C0, -1};
    dg.drawPixels(argb, true, 1, 3, 10, 20, 2, 2, 8192, 888);

    begin("short pixels");
    short[] argb4444 = {(short) 0xF123, (short) 0x0ABC, 9999, (short) 0x8FFF, (short) 0x1000};
    dg.drawPixels(argb4444, true, 0, 3, 5, 6, 2, 2, 0, 4444);
    dg.drawPixels(argb4444, true, 0, 3, 5, 6, 2, 2, 0, 444);
    dg.drawPixels(argb4444, true, 0, 3, 5, 6, 2, 2, 0, 565);

    begin("byte pixels");
    dg.setARGBColor(0x00CCDD);
    dg.drawPixels(new byte[] {1, 2, 3, 4}, null, 0, 2, 7, 8, 30, 40, 0, 1);

    begin("get pixels");
    int[] ints = {1, 2};
    byte[] bytes = {3};
    byte[] mask = {4};
    short[] shorts = {5};
    dg.getPixels(ints, 0, 2, 0, 0, 2, 1, 888);
    dg.getPixels(bytes, mask, 0, 1, 0, 0, 1, 1, 1);
    dg.getPixels(shorts, 0, 1, 0, 0, 1, 1, 4444);
    print(Arrays.toString(ints) + " " + Arrays.toString(bytes) + " " + Arrays.toString(mask) + " "
        + Arrays.toString(shorts));

    begin("direct graphics");
    DirectGraphicsImplemented impl = (DirectGraphicsImplemented) dg;
    print("native " + impl.getNativePixelFormat() + " alpha " + impl.getAlphaComponent());
    Image picture = Image.createImage(4, 4);
    dg.drawImage(picture, 1, 2, 20, 8192);
    Graphics other = new Graphics("other", 0);
    DirectGraphics second = DirectUtils.getDirectGraphics(other);
    print("fresh " + (second != DirectUtils.getDirectGraphics(other)));
    second.setARGBColor(0x010203);

    begin("direct utils");
    Image decoded = DirectUtils.createImage(new byte[] {9, 8, 7, 6}, 1, 2);
    print("returned " + decoded);
    Image filled = DirectUtils.createImage(10, 5, 0x80FF8040);
    print("returned " + filled + " colour " + Integer.toHexString(filled.getGraphics().getColor()));

    begin("full canvas");
    int before = Canvas.constructed;
    FullCanvas canvas = new FullCanvas() {};
    print("canvas constructed " + (Canvas.constructed - before) + " " + (canvas instanceof Canvas));

    System.out.print(Graphics.log);
  }
}
