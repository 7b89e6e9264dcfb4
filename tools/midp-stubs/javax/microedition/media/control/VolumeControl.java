// Stand-in: the type and its place in the hierarchy, for compiling and linking.
package javax.microedition.media.control;

public interface VolumeControl extends javax.microedition.media.Control {
}
