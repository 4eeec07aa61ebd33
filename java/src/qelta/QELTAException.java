package qelta;

/**
 * The one exception the native library throws.
 *
 * <p>Engine failures carry the engine's negative status code; failures found
 * while checking arguments carry only a message and the code {@link #NO_CODE}.
 *
 * <p>The message of an engine failure is "QELTA error ", the code, " in function "
 * and the engine operation's name ("ReadFile", "UpdateBeliefs", "AddNode", ...);
 * when the operation left messages in the network's error log, ". " follows, then
 * each message after a line feed. For example an XML network file that cannot be
 * parsed gives "QELTA error -103 in function ReadFile. " followed, line by line, by
 * what the reader logged. Every method that works on a network (also through a
 * diagnosis session, a value-of-information object, a validator or a learner's
 * network) clears that network's log when it starts, so the messages are the reasons
 * of the failing call alone.
 * While the log is redirected ({@link Network#redirectLog(String)}) the messages go
 * there and the exception carries none; {@code redirectLog("")} ends the redirect.
 * Some operations put a text of their own first (data and knowledge files,
 * equations, expressions); the logged messages follow it. A refused
 * argument gives a message that names it, such as "Invalid node handle: 7",
 * "Invalid node identifier: null" or "Unexpected null Java string.", and the code
 * {@link #NO_CODE}; a text holding U+0000 is refused so, naming what the text was for
 * ("Node name cannot contain U+0000", "File name cannot contain U+0000", ...).
 * Running out of memory gives "bad allocation", unless the operation names what asked for the
 * memory (such as "Pattern size 2147483647 needs more memory than there is").
 *
 * <table class="striped">
 * <caption>Engine status codes</caption>
 * <thead><tr><th>Code</th><th>Name</th><th>Meaning</th></tr></thead>
 * <tbody>
 * <tr><td>-1</td><td>"GENERAL ERROR"</td><td>a failure without a more precise code</td></tr>
 * <tr><td>-2</td><td>"OUT OF RANGE"</td><td>a bad index, size, code or setting, or a
 *   missing item (also an unknown file extension)</td></tr>
 * <tr><td>-3</td><td>"NO ITEM"</td><td>an item searched for is absent</td></tr>
 * <tr><td>-4</td><td>"INVALID VALUE"</td><td>a value of the wrong size or kind, such
 *   as a table that does not match the node's table size, or a value that is not
 *   valid</td></tr>
 * <tr><td>-5</td><td>"NO USEFUL SAMPLES"</td><td>sampling drew no sample that agrees
 *   with the evidence</td></tr>
 * <tr><td>-6</td><td>(none)</td><td>an equation cannot be solved for its node</td></tr>
 * <tr><td>-11</td><td>(none)</td><td>an arc would close a directed cycle</td></tr>
 * <tr><td>-19</td><td>"WRONG NUM STATES"</td><td>too few outcomes (a node needs at
 *   least 2)</td></tr>
 * <tr><td>-26</td><td>(none)</td><td>evidence conflicts with evidence implied by
 *   deterministic tables</td></tr>
 * <tr><td>-30</td><td>"ILLEGAL IDENTIFIER"</td><td>not an identifier: a letter first,
 *   then letters, digits or '_'</td></tr>
 * <tr><td>-32</td><td>"DUPLICATED IDENTIFIER"</td><td>the identifier is taken: from
 *   {@code setNodeId}, {@code setSubmodelId} and {@code setId} (by a node or a submodel),
 *   {@code addSubmodel} (by a node), {@code addOutcome}, {@code insertOutcome} and
 *   {@code setOutcomes} (by another outcome). {@code addNode} answers -2 for an identifier
 *   a node or submodel holds, and so do {@code addSubmodel} for one another submodel holds
 *   and {@code setOutcomeId} for one another outcome of the node holds</td></tr>
 * <tr><td>-42</td><td>"OUT OF MEMORY"</td><td>memory, a table size or the join-tree
 *   size limit exceeded</td></tr>
 * <tr><td>-43</td><td>(none)</td><td>a marginal summed to zero after join-tree
 *   clustering (evidence of probability zero); the other beliefs are computed</td></tr>
 * <tr><td>-51</td><td>"WRONG NODE TYPE"</td><td>the operation does not apply to this
 *   kind of node or value</td></tr>
 * <tr><td>-99</td><td>(none)</td><td>learning was cancelled or reached its time
 *   limit</td></tr>
 * <tr><td>-100</td><td>"FILE READ ERROR"</td><td>a file could not be read</td></tr>
 * <tr><td>-101</td><td>"FILE WRITE ERROR"</td><td>a file could not be opened or written
 *   for output</td></tr>
 * <tr><td>-102</td><td>"END OF FILE"</td><td>the file is empty</td></tr>
 * <tr><td>-103</td><td>"FILE I/O FAILED"</td><td>reading or writing a file or string
 *   failed, or the log file could not be opened</td></tr>
 * <tr><td>-111</td><td>"NO MORE TOKENS"</td><td>a text file ended where more was
 *   expected</td></tr>
 * <tr><td>-126</td><td>"LEXICAL ERROR"</td><td>an unknown character in a text file</td></tr>
 * <tr><td>-127</td><td>"SYNTAX ERROR"</td><td>a syntax error in a text file</td></tr>
 * <tr><td>-128</td><td>"UNEXPECTED EOF"</td><td>a text file ended inside a comment or
 *   string</td></tr>
 * <tr><td>-129</td><td>(none)</td><td>a text file holds another block or field name
 *   than the one expected</td></tr>
 * </tbody>
 * </table>
 *
 * <p>The name is the text the error log holds when an operation logs a code
 * without a message of its own; codes without a name print as "UNKNOWN ERROR
 * CODE".
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
