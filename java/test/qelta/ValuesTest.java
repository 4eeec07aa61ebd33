package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Reading node values: beliefs, means, validity, and the readers of equation values. */
class ValuesTest extends NetworkFixture {
    @Test
    void aValueIsReadOnlyWhileValid() {
        int w = node("Weather", "sun", "cloud", "rain");
        net.setNodeDefinition(w, new double[] {0.5, 0.3, 0.2});
        assertFalse(net.isValueValid(w));
        assertFalse(net.isValueValid("Weather"));
        refused("Value not valid - node 'Weather'", () -> net.getNodeValue(w));
        refused("Value not valid - node 'Weather'", () -> net.getNodeValue("Weather"));

        net.updateBeliefs();
        assertTrue(net.isValueValid(w));
        assertArrayEquals(new double[] {0.5, 0.3, 0.2}, net.getNodeValue(w), EXACT);
        assertArrayEquals(new double[] {0.5, 0.3, 0.2}, net.getNodeValue("Weather"), EXACT);

        // A new table makes the old beliefs stale.
        net.setNodeDefinition(w, new double[] {0.1, 0.1, 0.8});
        assertFalse(net.isValueValid(w));
        refused("Value not valid - node 'Weather'", () -> net.getNodeValue(w));
    }

    @Test
    void meanAndDeviationComeFromThePointValues() {
        int t = node("Temp", "low", "mid", "high");
        net.setNodeDefinition(t, new double[] {0.25, 0.5, 0.25});
        net.setPointValues(t, new double[] {-10, 20, 50});
        // Not valid yet: the engine refuses with -4, not with the message of getNodeValue.
        String stale = "\nNode [Temp] has no valid value; update beliefs first";
        engineFails("GetMean", -4, stale, () -> net.getNodeMean(t));
        engineFails("GetStdDev", -4, stale, () -> net.getNodeStdDev("Temp"));

        net.updateBeliefs();
        assertEquals(20.0, net.getNodeMean(t), EXACT);
        assertEquals(20.0, net.getNodeMean("Temp"), EXACT);
        double variance = 0.25 * 900 + 0.5 * 0 + 0.25 * 900;
        assertEquals(Math.sqrt(variance), net.getNodeStdDev(t), EXACT);
        assertEquals(Math.sqrt(variance), net.getNodeStdDev("Temp"), EXACT);

        // Without numbers on the outcomes there is nothing to average.
        int plain = node("Plain", "a", "b");
        net.updateBeliefs();
        String none = "\nNode [Plain] has neither point values nor intervals; give its outcomes point"
                + " values or intervals to take its ";
        engineFails("GetMean", -3, none + "mean", () -> net.getNodeMean(plain));
        engineFails("GetStdDev", -3, none + "standard deviation", () -> net.getNodeStdDev(plain));

        // Intervals (a CPT made from a discretized equation node): bounded ones count at their
        // midpoints, an unbounded one as a half-normal tail matching its neighbour's density.
        int x = net.addNode(4, "X");  // an equation node
        net.setNodeEquation(x, "X=0");
        net.setNodeEquationBounds(x, Double.NEGATIVE_INFINITY, 4);
        net.setNodeEquationDiscretization(x, new DiscretizationInterval[] {
            new DiscretizationInterval("low", 1), new DiscretizationInterval("mid", 3),
            new DiscretizationInterval("high", 4)});
        net.setNodeType(x, CPT);
        net.setNodeDefinition(x, new double[] {0.2, 0.5, 0.3});
        net.updateBeliefs();
        double tail = 0.2 * Math.sqrt(2 / Math.PI) * (3 - 1) / 0.5;
        double mean = 0.2 * (1 - tail * Math.sqrt(2 / Math.PI)) + 0.5 * 2 + 0.3 * 3.5;
        assertEquals(mean, net.getNodeMean(x), 1e-12);
    }

    @Test
    void equationReadersRefuseOtherNodes() {
        int c = node("Chance", "a", "b");
        net.updateBeliefs();
        String message = "Node 'Chance' must be of type Equation";
        refusedAll(message,
                () -> net.isValueDiscretized(c), () -> net.isValueDiscretized("Chance"),
                () -> net.getNodeSampleStats(c), () -> net.getNodeSampleStats("Chance"),
                () -> net.getNodeSampleHistogram(c, 0, 1, 10),
                () -> net.getNodeSampleHistogram("Chance", 0, 1, 1));
    }

    @Test
    void aChanceNodeHasNoIndexingParents() {
        int a = node("A", "x", "y");
        int b = node("B", "x", "y");
        net.addArc(a, b);
        net.updateBeliefs();
        assertEquals(0, net.getValueIndexingParents(b).length);
        assertEquals(0, net.getValueIndexingParents("B").length);
        assertEquals(0, net.getValueIndexingParentIds(b).length);
        assertEquals(0, net.getValueIndexingParentIds("A").length);
    }

    @Test
    void badNodesAreRefusedBeforeTheValueIsRead() {
        node("A", "x", "y");
        refused("Invalid node handle: 1", () -> net.getNodeValue(1));
        refused("Invalid node handle: -1", () -> net.getNodeMean(-1));
        refused("Invalid node handle: 7", () -> net.getNodeStdDev(7));
        refused("Invalid node handle: 1", () -> net.isValueValid(1));
        refusedAll("Invalid node handle: 2",
                () -> net.isValueDiscretized(2), () -> net.getNodeSampleStats(2),
                () -> net.getNodeSampleHistogram(2, 0, 1, 4));
        refused("Invalid node handle: 3", () -> net.getValueIndexingParents(3));
        refused("Invalid node handle: 3", () -> net.getValueIndexingParentIds(3));
        refused("Invalid node identifier: 'B'", () -> net.getNodeValue("B"));
        refused("Invalid node identifier: null", () -> net.getNodeMean((String) null));
        refused("Invalid node identifier: 'B'", () -> net.isValueValid("B"));
        refused("Invalid node identifier: 'B'", () -> net.getValueIndexingParentIds("B"));
    }
}
