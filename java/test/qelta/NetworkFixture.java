package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.function.Executable;

/** One fresh network per test, node builders and the failure checks the binding tests share. */
abstract class NetworkFixture {
    static final int CPT = 18;
    static final int TRUTH_TABLE = 20;
    static final double EXACT = 1e-12;
    static final int FIXED_SEED = 20261208;

    Network net;

    @BeforeEach
    void openNetwork() {
        net = new Network();
        // Sampled results (equation discretization, samplers) repeat from run to run.
        net.setRandSeed(FIXED_SEED);
    }

    @AfterEach
    void closeNetwork() {
        net.close();
    }

    /** A node of the given type with the given outcomes. */
    int node(int type, String id, String... outcomes) {
        int h = net.addNode(type, id);
        int[] mapping = new int[outcomes.length];
        java.util.Arrays.fill(mapping, -1);
        net.setOutcomes(h, outcomes, mapping);
        return h;
    }

    /** A CPT node with the given outcomes. */
    int node(String id, String... outcomes) {
        return node(CPT, id, outcomes);
    }

    /**
     * A (0.3, 0.7) -> B (0.6, 0.4 | 0.2, 0.8) -> C (0.9, 0.1 | 0.3, 0.7):
     * tables under which every edit of A or B shows in C.
     */
    void chain() {
        int a = node("A", "a0", "a1");
        int b = node("B", "b0", "b1");
        int c = node("C", "c0", "c1");
        net.addArc(a, b);
        net.addArc(b, c);
        net.setNodeDefinition(a, new double[] {0.3, 0.7});
        net.setNodeDefinition(b, new double[] {0.6, 0.4, 0.2, 0.8});
        net.setNodeDefinition(c, new double[] {0.9, 0.1, 0.3, 0.7});
    }

    /** A CPT node with count outcomes s0, s1, ... */
    int wideNode(String id, int count) {
        String[] outcomes = new String[count];
        for (int i = 0; i < count; i++) {
            outcomes[i] = "s" + i;
        }
        return node(id, outcomes);
    }

    /** Runs call, expects a QELTAException and answers it. */
    static QELTAException fails(Executable call) {
        return assertThrows(QELTAException.class, call);
    }

    /** Expects an argument failure: exactly this message, no engine code. */
    static void refused(String message, Executable call) {
        QELTAException e = fails(call);
        assertEquals(message, e.getMessage());
        assertEquals(QELTAException.NO_CODE, e.getErrorCode());
    }

    /** Expects every call to be refused with exactly this message and no engine code. */
    static void refusedAll(String message, Executable... calls) {
        for (int i = 0; i < calls.length; i++) {
            QELTAException e = fails(calls[i]);
            assertEquals(message, e.getMessage(), "call " + i);
            assertEquals(QELTAException.NO_CODE, e.getErrorCode(), "call " + i);
        }
    }

    /** Expects a code argument refused by name, value and the allowed values, no engine code. */
    static void refusedCode(String argument, String value, Executable call) {
        QELTAException e = fails(call);
        String start = "Invalid value " + value + " of argument " + argument + "; valid values are ";
        assertTrue(e.getMessage().startsWith(start), e.getMessage());
        assertEquals(QELTAException.NO_CODE, e.getErrorCode());
    }

    /** Expects an engine failure of the named operation with this code and no log text. */
    static void engineFails(String operation, int code, Executable call) {
        QELTAException e = fails(call);
        assertEquals("QELTA error " + code + " in function " + operation, e.getMessage());
        assertEquals(code, e.getErrorCode());
    }

    /** Expects an engine failure of the named operation with this code and detail text. */
    static void engineFails(String operation, int code, String detail, Executable call) {
        QELTAException e = fails(call);
        assertEquals("QELTA error " + code + " in function " + operation + ". " + detail,
                e.getMessage());
        assertEquals(code, e.getErrorCode());
    }
}
