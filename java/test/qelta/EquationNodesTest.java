package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Equation nodes: equations, bounds, discretization, their values and evidence. */
class EquationNodesTest extends NetworkFixture {
    static final int EQUATION = 4;

    @Test
    void theEquationDecidesTheParents() {
        int x = net.addNode(EQUATION, "x");
        int y = net.addNode(EQUATION, "y");
        net.setNodeEquation(y, "y = 2*x + 1");
        assertArrayEquals(new int[] {x}, net.getParents(y));
        assertEquals("y=2*x+1", net.getNodeEquation("y"));
        net.setNodeEquation("y", "y = 3");
        assertEquals(0, net.getParents(y).length);
        assertTrue(net.isNodeEquationConstant(y));
        assertTrue(net.isNodeEquationDeterministic("y"));
        assertEquals(3.0, net.getNodeEquationConstant(y), EXACT);

        net.setNodeEquation(y, "y = Normal(x, 1)");
        assertFalse(net.isNodeEquationConstant(y));
        assertFalse(net.isNodeEquationDeterministic(y));
        engineFails("EvaluateConstant", -51, "Equation of node 'y' is not constant (it names"
                + " another node or calls a random generator): y=Normal(x,1)",
                () -> net.getNodeEquationConstant(y));

        QELTAException e = fails(() -> net.setNodeEquation(y, "y = 2*x +"));
        assertEquals("QELTA error -2 in function SetEquation. Invalid equation, error at"
                + " position 9: Factor expected", e.getMessage());
        assertEquals(-2, e.getErrorCode());
        assertEquals("y=Normal(x,1)", net.getNodeEquation(y));
        refused("Cannot get node definition 'EQUATION' of node 'x' as an array of doubles",
                () -> net.getNodeDefinition(x));
    }

    @Test
    void chanceNodesBecomeEquationsAndBack() {
        int c = node("C", "lo", "hi");
        net.setNodeType(c, EQUATION);
        assertEquals(EQUATION, net.getNodeType("C"));
        assertEquals(2, net.getNodeEquationDiscretization(c).length);
        assertEquals("lo", net.getNodeEquationDiscretization(c)[0].id());
        net.setNodeType("C", CPT);
        assertArrayEquals(new String[] {"lo", "hi"}, net.getOutcomeIds(c));
    }

    @Test
    void otherNodesAreRefused() {
        node("C", "a", "b");
        String message = "Node 'C' must be of type Equation";
        refusedAll(message, () -> net.setNodeEquation("C", "C = 1"),
                () -> net.getNodeEquation("C"), () -> net.getNodeEquationBounds("C"),
                () -> net.setNodeEquationDiscretization("C", null));
    }

    @Test
    void boundsAndIntervals() {
        int x = net.addNode(EQUATION, "x");
        assertArrayEquals(new double[] {-1, 1}, net.getNodeEquationBounds(x), EXACT);
        net.setNodeEquationBounds(x, 0, 10);
        engineFails("SetBounds", -2,
                "\nThe bounds of node [x] must be numbers with the lower one (2) not above the upper one (1)",
                () -> net.setNodeEquationBounds("x", 2, 1));
        assertArrayEquals(new double[] {0, 10}, net.getNodeEquationBounds("x"), EXACT);
        DiscretizationInterval[] intervals = {
            new DiscretizationInterval("low", 4), new DiscretizationInterval(null, 99)};
        net.setNodeEquationDiscretization(x, intervals);
        DiscretizationInterval[] back = net.getNodeEquationDiscretization("x");
        assertEquals(2, back.length);
        assertEquals(new DiscretizationInterval("low", 4), back[0]);
        assertEquals(10, back[1].boundary(), EXACT);
        refused("Discretization interval is null at index 1", () -> net
                .setNodeEquationDiscretization(x, new DiscretizationInterval[] {intervals[0], null}));
        engineFails("SetDiscIntervals", -2, () -> net.setNodeEquationDiscretization(
                x, new DiscretizationInterval[] {intervals[0]}));
        net.setNodeEquationDiscretization(x, null);
        assertEquals(0, net.getNodeEquationDiscretization(x).length);
    }

    @Test
    void sampledValuesAndEvidence() {
        int a = net.addNode(EQUATION, "a");
        int b = net.addNode(EQUATION, "b");
        net.setNodeEquation(a, "a = Uniform(0, 1)");
        net.setNodeEquation(b, "b = a + 1");
        net.updateBeliefs();
        assertFalse(net.isValueDiscretized(b));
        assertEquals(10000, net.getNodeValue(b).length);
        assertEquals(1.5, net.getNodeMean(b), 0.02);
        double[] stats = net.getNodeSampleStats("b");
        assertEquals(4, stats.length);
        assertTrue(stats[2] >= 1 && stats[3] <= 2);
        int[] bins = net.getNodeSampleHistogram(b, 1, 2, 4);
        assertEquals(10000, java.util.Arrays.stream(bins).sum());
        engineFails("GetHistogram", -3, "\nA histogram has 2 or more bins, not 1",
                () -> net.getNodeSampleHistogram(b, 1, 2, 1));
        engineFails("GetHistogram", -42, "\n2000000000 bins do not fit in memory",
                () -> net.getNodeSampleHistogram(b, 1, 2, 2000000000));

        net.setContEvidence(a, 0.25);
        assertEquals(0.25, net.getContEvidence("a"), EXACT);
        net.updateBeliefs();
        assertArrayEquals(new double[] {1.25}, net.getNodeValue(b), EXACT);
        assertEquals(0.0, net.getNodeStdDev(b), EXACT);
        engineFails("SetEvidence", -4, "Node 'a' takes only a finite number",
                () -> net.setContEvidence(a, Double.NaN));
        net.clearEvidence(a);
        engineFails("ClearEvidence", -2, "\nNode [a] has no evidence to clear",
                () -> net.clearEvidence(a));
    }
}
