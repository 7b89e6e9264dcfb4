// Stand-in: the type and its place in the hierarchy, for compiling and linking.
package javax.microedition.io;

public interface StreamConnection extends InputConnection, OutputConnection {
}
