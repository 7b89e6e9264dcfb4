// Compile-time stand-in for the CLDC class object: the preverifier resolves it for every class.
package java.lang;

public final class Class {}
