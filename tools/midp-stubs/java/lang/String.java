// Compile-time stand-in for the CLDC string: the canvas names its keys with it.
package java.lang;

public final class String {}
