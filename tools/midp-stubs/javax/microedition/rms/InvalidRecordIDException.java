// Stand-in: the type and its place in the hierarchy, for compiling and linking.
package javax.microedition.rms;

public class InvalidRecordIDException extends RecordStoreException {
}
