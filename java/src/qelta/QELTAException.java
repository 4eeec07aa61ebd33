package qelta;

/**
 * The one exception the native library throws.
 *
 * <p>Engine failures carry the engine's negative status code; failures found
 * while checking arguments carry only a message and the code {@link #NO_CODE}.
 */
public class QELTAException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** Code of an exception that did not come from an engine status. */
    public static final int NO_CODE = 0;

    private final int errorCode;

    public QELTAException(String message, int errorCode) {
        super(message);
        this.errorCode = errorCode;
    }

    public QELTAException(String message) {
        this(message, NO_CODE);
    }

    /** The engine status code, or {@link #NO_CODE}. */
    public int getErrorCode() {
        return errorCode;
    }
}
