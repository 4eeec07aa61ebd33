package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Noisy-MAX strengths and Henrion form, DeMorgan parameters. */
class CanonicalNodesTest extends NetworkFixture {
    static final int NOISY_MAX = 146;
    static final int DEMORGAN = 82;

    @Test
    void noisyMaxStrengthsTableAndHenrionForm() {
        int parent = node("P", "p0", "p1", "p2");
        int noisy = node(NOISY_MAX, "N", "present", "absent");
        net.addArc(parent, noisy);
        refused("Invalid parent strength array size for node 'N': expected 3 and got 2",
                () -> net.setNoisyParentStrengths(noisy, 0, new int[] {1, 0}));
        refused("Parent strenghts array cannot be null",
                () -> net.setNoisyParentStrengths("N", 0, null));
        refused("Invalid parent index 1 for node N", () -> net.getNoisyParentStrengths(noisy, 1));
        refused("Node 'N' is not a child of node 'N'",
                () -> net.setNoisyParentStrengths(noisy, "N", null));
        engineFails("SetParentOutcomeStrengths", -4,
                () -> net.setNoisyParentStrengths(noisy, "P", new int[] {0, 0, 1}));
        net.setNoisyParentStrengths("N", "P", new int[] {2, 1, 0});
        assertArrayEquals(new int[] {2, 1, 0}, net.getNoisyParentStrengths(noisy, 0));
        assertArrayEquals(new int[] {2, 1, 0}, net.getNoisyParentStrengths("N", "P"));

        net.setNodeDefinition(noisy, new double[] {0.8, 0.2, 0.5, 0.5, 0, 1, 0.1, 0.9});
        assertEquals(8, net.getNodeDefinition(noisy).length);
        // Parent outcome 2 is the strongest, outcome 0 the distinguished one.
        assertArrayEquals(new double[] {0.1, 0.9, 0.55, 0.45, 0.82, 0.18},
                net.getNoisyExpandedDefinition("N"), EXACT);
        assertArrayEquals(new double[] {0.82, 0.18, 0.55, 0.45, 0, 1, 0.1, 0.9},
                net.getNoisyHenrionDefinition(noisy), EXACT);
        net.setNoisyHenrionDefinition("N", new double[] {0.82, 0.18, 0.1, 0.9, 0, 1, 0.1, 0.9});
        assertArrayEquals(new double[] {0.8, 0.2, 0, 1, 0, 1, 0.1, 0.9},
                net.getNodeDefinition(noisy), EXACT);
        refused("Henrion probabilities array cannot be null",
                () -> net.setNoisyHenrionDefinition(noisy, null));
        refused("Invalid Henrion probabilities array size for node 'N': expected 8 and got 2",
                () -> net.setNoisyHenrionDefinition(noisy, new double[2]));
        engineFails("SetHenrionProbabilities", -2, () -> net.setNoisyHenrionDefinition(noisy,
                new double[] {0.82, 0.18, 0.1, 0.9, 0.5, 0.5, 0.1, 0.9}));
        refusedAll("Node 'P' must be of type NoisyMax",
                () -> net.getNoisyExpandedDefinition(parent),
                () -> net.setNoisyParentStrengths(parent, 0, new int[3]));
        assertTrue(net.isNoisySynchronized(-1));
        assertTrue(net.isNoisyExpanded("nobody"));
        net.setNoisySynchronized(-1, false);
    }

    @Test
    void deMorganParameters() {
        int a = net.addNode(DEMORGAN, "A");
        int g = net.addNode(DEMORGAN, "G");
        net.addArc(a, g);
        assertEquals(0.5, net.getDeMorganPriorBelief(g), 0.0);
        net.setDeMorganPriorBelief("G", 0.1);
        engineFails("SetPriorBelief", -4, () -> net.setDeMorganPriorBelief(g, -0.1));
        assertEquals(0.1, net.getDeMorganPriorBelief("G"), 0.0);

        assertEquals(2, net.getDeMorganParentType(g, 0));
        net.setDeMorganParentType(g, "A", 7);
        assertEquals(7, net.getDeMorganParentType("G", "A"));
        net.setDeMorganParentType("G", 0, 0);
        engineFails("SetParentType", -2, () -> net.setDeMorganParentType(g, 1, 0));
        engineFails("GetParentType", -1, () -> net.getDeMorganParentType(g, 1));

        net.setDeMorganParentWeight(g, 0, 1.0);
        engineFails("SetParentWeight", -4, () -> net.setDeMorganParentWeight("G", "A", 1.5));
        engineFails("SetParentWeight", -2, () -> net.setDeMorganParentWeight(g, 1, 0.5));
        assertEquals(1.0, net.getDeMorganParentWeight("G", 0), 0.0);
        engineFails("GetParentWeight", -1, () -> net.getDeMorganParentWeight(g, 1));
        // An inhibitor of weight 1 forbids "True" while A (even odds) is "True".
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.05, 0.95}, net.getNodeValue(g), EXACT);

        refused("Node 'G' is not a child of node 'G'", () -> net.getDeMorganParentWeight(g, "G"));
        refused("Node 'G' is not a temporal child of node 'A' with order 1",
                () -> net.getDeMorganTemporalParentType(g, 1, "A"));
        engineFails("GetTemporalParentType", -1, () -> net.getDeMorganTemporalParentType(g, 1, 0));
        engineFails("SetTemporalParentType", -1,
                () -> net.setDeMorganTemporalParentType("G", 1, 0, 2));
        engineFails("GetTemporalParentWeight", -1,
                () -> net.getDeMorganTemporalParentWeight(g, 1, 0));
        engineFails("SetTemporalParentWeight", -1,
                () -> net.setDeMorganTemporalParentWeight(g, 1, 0, 0.5));

        int noisy = net.addNode(NOISY_MAX, "N");
        refusedAll("Node 'N' must be of type DeMorgan",
                () -> net.getDeMorganPriorBelief(noisy),
                () -> net.setDeMorganParentType(noisy, 0, 1),
                () -> net.getDeMorganTemporalParentWeight(noisy, 1, 0));
        refused("Node 'G' must be of type NoisyMax", () -> net.getNoisyExpandedDefinition(g));
        refused("Cannot get node definition 'DEMORGAN' of node 'G' as an array of doubles",
                () -> net.getNodeDefinition(g));
    }
}
