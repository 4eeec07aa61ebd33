package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Observed, implied, numeric and virtual evidence, and target marks. */
class EvidenceTest extends NetworkFixture {
    /** Evidence flags of a node: real, propagated, virtual. */
    private void assertFlags(String id, boolean real, boolean propagated, boolean virtual) {
        assertEquals(real, net.isRealEvidence(id), id + " real");
        assertEquals(propagated, net.isPropagatedEvidence(id), id + " propagated");
        assertEquals(virtual, net.isVirtualEvidence(id), id + " virtual");
        assertEquals(real || propagated, net.isEvidence(id), id + " evidence");
    }

    @Test
    void targetsAreMarkedOnceAndUnmarkedOnce() {
        int a = node("A", "x", "y");
        node("B", "x", "y");
        assertFalse(net.isTarget(a));
        net.setTarget(a, true);
        net.setTarget("B", true);
        assertTrue(net.isTarget("A"));
        assertTrue(net.isTarget(1));
        refused("Cannot change target status for node 'A'", () -> net.setTarget(a, true));
        net.setTarget("A", false);
        refused("Cannot change target status for node 'A'", () -> net.setTarget("A", false));
        assertFalse(net.isTarget(a));
        net.clearAllTargets();
        assertFalse(net.isTarget("B"));
        net.clearAllTargets();
        refused("Invalid node handle: 2", () -> net.setTarget(2, true));
        refused("Invalid node identifier: 'C'", () -> net.isTarget("C"));
    }

    @Test
    void evidenceIsSetByIndexOrIdentifierInAllFourForms() {
        int w = node("W", "sun", "rain", "snow");
        net.setEvidence(w, 1);
        assertEquals(1, net.getEvidence(w));
        assertEquals("rain", net.getEvidenceId("W"));
        net.setEvidence("W", 2);
        assertEquals(2, net.getEvidence("W"));
        net.setEvidence(w, "sun");
        assertEquals("sun", net.getEvidenceId(w));
        net.setEvidence("W", "rain");
        assertEquals(1, net.getEvidence(w));
        assertFlags("W", true, false, false);
        net.clearEvidence("W");
        assertFlags("W", false, false, false);
    }

    @Test
    void badOutcomesAreRefusedAndKeepTheEvidence() {
        int w = node("W", "sun", "rain");
        net.setEvidence(w, 0);
        refused("Invalid outcome index 2 for node 'W', valid indices are 0..1",
                () -> net.setEvidence(w, 2));
        refused("Invalid outcome index -1 for node 'W', valid indices are 0..1",
                () -> net.setEvidence("W", -1));
        refused("Invalid outcome identifier 'hail' for node 'W'", () -> net.setEvidence(w, "hail"));
        refused("Invalid outcome identifier: null", () -> net.setEvidence("W", (String) null));
        refused("Invalid node identifier: 'V'", () -> net.setEvidence("V", "hail"));
        refused("Invalid node handle: 5", () -> net.setEvidence(5, "sun"));
        assertEquals(0, net.getEvidence(w));
    }

    @Test
    void readingMissingEvidenceFails() {
        int w = node("W", "sun", "rain");
        refusedAll("Node 'W' has no evidence set",
                () -> net.getEvidence(w), () -> net.getEvidenceId("W"),
                () -> net.getContEvidence(w));
        engineFails("ClearEvidence", -2, "\nNode [W] has no evidence to clear",
                () -> net.clearEvidence(w));
        engineFails("GetVirtualEvidence", -2, "\nNode [W] has no virtual evidence",
                () -> net.getVirtualEvidence("W"));
    }

    @Test
    void virtualEvidenceIsCheckedBeforeItReplacesObservedEvidence() {
        int w = node("W", "sun", "rain");
        net.setEvidence(w, 1);
        double[] aboveOne = {1.5, 0};
        double[] allZero = {0, 0};
        engineFails("SetVirtualEvidence", -4, "\nLikelihoods of node [W] lie from 0 to 1",
                () -> net.setVirtualEvidence(w, aboveOne));
        engineFails("SetVirtualEvidence", -3, "\nLikelihoods of node [W] need one above 0",
                () -> net.setVirtualEvidence("W", allZero));
        engineFails("SetVirtualEvidence", -2,
                "\nNode [W] takes 2 likelihoods, one per outcome, not 1",
                () -> net.setVirtualEvidence(w, new double[] {0.5}));
        assertEquals(1, net.getEvidence(w));

        net.setVirtualEvidence("W", new double[] {0.2, 0.8});
        assertFlags("W", false, false, true);
        assertArrayEquals(new double[] {0.2, 0.8}, net.getVirtualEvidence(w), EXACT);
        refused("Node 'W' has no evidence set", () -> net.getEvidence(w));
        // Clearing removes observed evidence first, virtual evidence when there is none.
        net.clearEvidence(w);
        assertFlags("W", false, false, false);
    }

    @Test
    void aMissingLikelihoodArrayIsRefusedFirst() {
        String message = "Virtual evidence array cannot be null";
        refused(message, () -> net.setVirtualEvidence(3, null));
        refused(message, () -> net.setVirtualEvidence("Nobody", null));
        refused("Invalid node handle: 3", () -> net.setVirtualEvidence(3, new double[] {1, 1}));
    }

    @Test
    void evidenceImpliedByADeterministicChildCountsAsEvidence() {
        int a = node("A", "x", "y");
        int t = node(TRUTH_TABLE, "T", "x", "y");
        net.addArc(a, t);
        net.setNodeDefinition(t, new double[] {1, 0, 0, 1});
        net.setEvidence(a, 1);
        assertFlags("T", false, true, false);
        assertEquals(1, net.getEvidence(t));
        assertEquals("y", net.getEvidenceId("T"));
        // Implied evidence is not cleared by clearEvidence.
        engineFails("ClearEvidence", -2, "\nNode [T] has no evidence to clear",
                () -> net.clearEvidence(t));
        net.clearAllEvidence();
        assertFlags("T", false, false, false);
        assertFlags("A", false, false, false);
    }

    /**
     * X (0.5, 0.5) -> N with P(N | X) = (1, 0), (0.4, 0.6); likelihoods (0.2, 0.8) on the node
     * named soft. Observing cause at outcome implies the other node's outcome; clearing it gives
     * the beliefs back, and the likelihoods answer as set all along.
     */
    private void impliedOutcomeKeepsLikelihoods(String soft, String cause, int outcome,
            double[] xBefore) {
        for (boolean relevance : new boolean[] {true, false}) {
            for (int code : new int[] {0, 2, 10, 11, 12}) {
                String what = soft + ", code " + code + (relevance ? "" : ", no relevance");
                net.close();
                net = new Network();
                node("X", "x0", "x1");
                node("N", "n0", "n1");
                net.addArc("X", "N");
                net.setNodeDefinition("X", new double[] {0.5, 0.5});
                net.setNodeDefinition("N", new double[] {1, 0, 0.4, 0.6});
                net.setRelevanceEnabled(relevance);
                net.setBayesianAlgorithm(code);
                double[] likelihoods = {0.2, 0.8};
                net.setVirtualEvidence(soft, likelihoods);
                net.updateBeliefs();
                assertArrayEquals(xBefore, net.getNodeValue("X"), 1e-9, what);
                net.setEvidence(cause, outcome);
                assertArrayEquals(likelihoods, net.getVirtualEvidence(soft), EXACT, what);
                assertEquals(relevance, net.isPropagatedEvidence(soft), what);
                net.updateBeliefs();
                assertArrayEquals(likelihoods, net.getVirtualEvidence(soft), EXACT, what);
                net.clearEvidence(cause);
                assertArrayEquals(likelihoods, net.getVirtualEvidence(soft), EXACT, what);
                net.updateBeliefs();
                assertArrayEquals(xBefore, net.getNodeValue("X"), 1e-9, what);
                assertArrayEquals(likelihoods, net.getVirtualEvidence(soft), EXACT, what);
            }
        }
    }

    @Test
    void likelihoodsOfADeterministicChildOutliveItsImpliedOutcome() {
        impliedOutcomeKeepsLikelihoods("N", "X", 0, new double[] {5.0 / 19, 14.0 / 19});
    }

    @Test
    void likelihoodsOfAParentOutliveItsImpliedOutcome() {
        // N = n1 is possible under X = x1 only.
        impliedOutcomeKeepsLikelihoods("X", "N", 1, new double[] {0.2, 0.8});
    }

    @Test
    void aNumberObservesTheOutcomeWhoseIntervalHoldsIt() {
        int t = node("T", "cold", "mild", "hot");
        engineFails("SetEvidence", -3, "Node 'T' has no intervals: a number is observed only on"
                + " an equation node or on a node whose outcomes are intervals (setIntervals)",
                () -> net.setContEvidence(t, 12.5));
        net.setIntervals(t, new double[] {-20, 10, 25, 45}, false);
        net.setContEvidence(t, 12.5);
        assertEquals(1, net.getEvidence(t));
        assertEquals(12.5, net.getContEvidence("T"), 0.0);
        net.setContEvidence("T", -3);
        assertEquals(0, net.getEvidence("T"));
        assertEquals(-3.0, net.getContEvidence(t), 0.0);
        // Outside every interval: refused, the earlier number stays.
        engineFails("SetEvidence", -2, "No interval of node 'T' holds 99",
                () -> net.setContEvidence(t, 99));
        assertEquals(-3.0, net.getContEvidence(t), 0.0);
        // An outcome observed without a number has none to give.
        net.setEvidence(t, 2);
        engineFails("GetContEvidence", -51, () -> net.getContEvidence(t));
        refused("Invalid node handle: 1", () -> net.setContEvidence(1, 0));
        refused("Invalid node identifier: 'U'", () -> net.getContEvidence("U"));
    }

    @Test
    void flagReadersRefuseBadNodes() {
        node("A", "x", "y");
        refusedAll("Invalid node handle: 1",
                () -> net.isEvidence(1), () -> net.isRealEvidence(1),
                () -> net.isPropagatedEvidence(1), () -> net.isVirtualEvidence(1),
                () -> net.clearEvidence(1), () -> net.getEvidence(1), () -> net.getEvidenceId(1),
                () -> net.getVirtualEvidence(1));
        refused("Invalid node identifier: 'B'", () -> net.isEvidence("B"));
        refused("Invalid node identifier: null", () -> net.clearEvidence((String) null));
    }
}
