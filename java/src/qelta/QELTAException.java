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

    /** The engine status code, or {@link #NO_CODE}. */
    private final int errorCode;

    /**
     * An engine failure. The native library makes it with the message
     * "QELTA error <i>code</i> in function <i>operation</i>", possibly followed
     * by details.
     *
     * @param message the message
     * @param errorCode the engine's negative status code
     */
    public QELTAException(String message, int errorCode) {
        super(message);
        this.errorCode = errorCode;
    }

    /**
     * A failure that did not come from an engine status, such as a refused
     * argument.
     *
     * @param message the message
     */
    public QELTAException(String message) {
        this(message, NO_CODE);
    }

    /**
     * The engine status code.
     *
     * @return the negative engine status, or {@link #NO_CODE}
     */
    public int getErrorCode() {
        return errorCode;
    }
}
