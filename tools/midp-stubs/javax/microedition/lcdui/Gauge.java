// Stand-in: the type and its place in the hierarchy, for compiling and linking.
package javax.microedition.lcdui;

public class Gauge extends Item {
}
