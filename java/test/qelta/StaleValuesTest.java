package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Edits that change what an update gives leave no old beliefs marked valid. */
class StaleValuesTest extends NetworkFixture {
    static final int PLATE = 3;
    static final int NOISY_MAX = 146;

    @Test
    void aTypeChangeInvalidatesWhatLiesBelow() {
        for (int type : new int[] {TRUTH_TABLE, NOISY_MAX}) {
            if (type != TRUTH_TABLE) {
                net.close();
                openNetwork();
            }
            chain();
            net.updateBeliefs();
            assertTrue(net.isValueValid("C"));
            net.setNodeType("B", type);
            assertFalse(net.isValueValid("B"), "type " + type);
            assertFalse(net.isValueValid("C"), "type " + type);
            // A target elsewhere: the update computes only it, and C stays invalid.
            net.setTarget("A", true);
            net.updateBeliefs();
            assertFalse(net.isValueValid("C"), "type " + type);
        }
    }

    /** Plate nodes X and Y of two outcomes each, 3 slices. */
    void plates() {
        for (String id : new String[] {"X", "Y"}) {
            net.setNodeTemporalType(node(id, id + "0", id + "1"), PLATE);
        }
        net.setSliceCount(3);
    }

    @Test
    void deletingATemporalParentInvalidatesItsChild() {
        plates();
        int x = net.getNode("X");
        int y = net.getNode("Y");
        net.setNodeDefinition(x, new double[] {0.9, 0.1});
        net.addTemporalArc(x, y, 1);
        net.setNodeTemporalDefinition(y, 1, new double[] {0.95, 0.05, 0.2, 0.8});
        net.updateBeliefs();
        assertTrue(net.isValueValid(y));
        net.deleteNode(x);
        assertFalse(net.isValueValid(y));
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, net.getNodeValue(y), EXACT);
    }

    @Test
    void anOutcomeEditOfAnObservedParentReachesItsChild() {
        int x = node("X", "x0", "x1", "x2");
        int p = node("P", "p0", "p1");
        int c = node(NOISY_MAX, "C", "c0", "c1");
        net.addArc(x, c);
        net.addArc(p, c);
        // Columns: X's three outcomes, P's two, the leak.
        net.setNodeDefinition(c, new double[] {0.9, 0.1, 0.6, 0.4, 0, 1, 0.7, 0.3, 0, 1, 0.2, 0.8});
        net.setEvidence(x, 1);
        net.updateBeliefs();
        assertTrue(net.isValueValid(c));
        // X's removed outcome was its strongest: C's table under X = x1 changes.
        net.deleteOutcome(x, 2);
        assertEquals(1, net.getEvidence(x));
        assertFalse(net.isValueValid(c));
    }

    @Test
    void aPlateNodeRightAfterEvidenceHoldsNoSingleRow() {
        plates();
        int x = net.getNode("X");
        int y = net.getNode("Y");
        net.addArc(x, y);
        net.setNodeDefinition(y, new double[] {1, 0, 0, 1});
        net.updateBeliefs();
        net.setEvidence(x, 1);
        // Observed here; implied for X when Y is observed below.
        for (int h : new int[] {x, y}) {
            if (net.isValueValid(h)) {
                assertEquals(6, net.getNodeValue(h).length);
            }
        }
        net.clearAllEvidence();
        net.updateBeliefs();
        net.setEvidence(y, 0);
        assertTrue(net.isPropagatedEvidence(x));
        if (net.isValueValid(x)) {
            assertEquals(6, net.getNodeValue(x).length);
        }
        net.updateBeliefs();
        assertEquals(6, net.getNodeValue(x).length);
        assertEquals(6, net.getNodeValue(y).length);
    }
}
