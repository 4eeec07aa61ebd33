package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * What the documentation of equation and multi-attribute utility nodes says a Java program sees:
 * the messages that name what to fix, updates that succeed while leaving values out, and the
 * expected utilities that multi-attribute expressions give.
 */
class ExpressionReferenceTest extends NetworkFixture {
    static final int EQUATION = 4;
    static final int UTILITY = 8;
    static final int DECISION = 17;
    static final int MAU = 520;

    /** D with choices a, b, c; Money (47, 39, 20) and Calm (10, 60, 90) over D; M over both. */
    void moneyAndCalm() {
        node(DECISION, "D", "a", "b", "c");
        net.addNode(UTILITY, "Money");
        net.addNode(UTILITY, "Calm");
        net.addNode(MAU, "M");
        net.addArc("D", "Money");
        net.addArc("D", "Calm");
        net.setNodeDefinition("Money", new double[] {47, 39, 20});
        net.setNodeDefinition("Calm", new double[] {10, 60, 90});
        net.addArc("Money", "M");
        net.addArc("Calm", "M");
    }

    @Test
    void refusedNumbersAndConstantsNameTheNode() {
        node("T", "lo", "hi");
        engineFails("SetEvidence", -3, "Node 'T' has no intervals: a number is observed only on"
                + " an equation node or on a node whose outcomes are intervals (setIntervals)",
                () -> net.setContEvidence("T", 0.5));
        assertFalse(net.isEvidence("T"));
        net.addNode(UTILITY, "U");
        engineFails("SetEvidence", -51, "Node 'U' takes no evidence",
                () -> net.setContEvidence("U", 1));

        net.addNode(EQUATION, "c");
        net.setNodeEquation("c", "c = 1 = 1");
        assertTrue(net.isNodeEquationConstant("c"));
        engineFails("EvaluateConstant", -6, "Can't solve the equation for c : c=1=1",
                () -> net.getNodeEquationConstant("c"));
        net.setNodeEquation("c", "2*c + 1 = 7");
        assertEquals(3.0, net.getNodeEquationConstant("c"), EXACT);
    }

    @Test
    void multiAttributeRefusalsNameTheIdentifierOrCount() {
        moneyAndCalm();
        net.addArc("D", "M");
        String invalid = "QELTA error -1 in function SetExpressions. Invalid expression at index 1: ";
        String[][] cases = {
            {"QELTA error -2 in function SetExpressions. Wrong vector size: expected 3"
                + " expressions (one per configuration of the decision parents), got 1", "Money"},
            {invalid + "unknown identifier: Q", "Money", "Money + Q", "Calm"},
            {invalid + "only non-descendant utility/ALU/MAU nodes are allowed: D is not a"
                + " utility or multi-attribute utility node", "0", "D", "0"},
            {invalid + "self-references not allowed: M", "0", "M*2", "0"},
        };
        for (String[] c : cases) {
            String[] texts = Arrays.copyOfRange(c, 1, c.length);
            QELTAException e = fails(() -> net.setMauExpressions("M", texts));
            assertEquals(c[0], e.getMessage());
        }
        net.addNode(MAU, "Top");
        net.addArc("M", "Top");
        QELTAException e = fails(() -> net.setMauExpressions("M", new String[] {"0", "Top", "0"}));
        assertEquals(invalid + "only non-descendant utility/ALU/MAU nodes are allowed: Top is a"
                + " descendant of M", e.getMessage());
        assertEquals(0, net.getMauExpressions("M").length);
    }

    @Test
    void theBestPolicyRefusalNamesTheDecisionAndItsParent() {
        moneyAndCalm();
        node("W", "dry", "wet");
        net.addArc("W", "D");
        net.setInfluenceDiagramAlgorithm(1);
        QELTAException e = fails(net::updateBeliefs);
        assertEquals("QELTA error -2 in function UpdateBeliefs. \n"
                + "Can't solve this network using best policy algorithm\n"
                + "Decision [D] has the parent [W] without evidence: this algorithm needs every"
                + " parent of the first undecided decision observed", e.getMessage());
        net.setEvidence("W", "wet");
        net.updateBeliefs();
        assertArrayEquals(new double[] {0, 0, 1}, net.getNodeValue("D"), EXACT);
    }

    @Test
    void equationMessagesSayOnceWhatToFix() {
        net.addNode(EQUATION, "Y");
        net.setNodeEquation("Y", "Y = Y + 1");
        QELTAException e = fails(net::updateBeliefs);
        assertEquals("QELTA error -6 in function UpdateBeliefs. \n"
                + "Can't solve the equation for Y : Y=Y+1", e.getMessage());

        // A typed sum of 151 terms nests too deeply and the message says how to write it.
        net.addNode(EQUATION, "a");
        String terms = String.join("+", java.util.Collections.nCopies(151, "a"));
        e = fails(() -> net.setNodeEquation("Y", "Y = " + terms));
        assertTrue(e.getMessage().endsWith("Expression is nested too deeply: more than 150"
                + " levels, each operator of a chain such as a+b+c counting one; write Sum(a, b,"
                + " c, ...) or group the terms with parentheses"), e.getMessage());
        net.setNodeEquation("Y", "Y = Sum(" + terms.replace('+', ',') + ")");
        net.setNodeEquation("Y", "Y = (" + terms.substring(0, 149) + ")+(" + terms.substring(150)
                + ")");
        net.setNodeEquation("a", "a = 2");
        net.updateBeliefs();
        assertArrayEquals(new double[] {302}, net.getNodeValue("Y"), EXACT);
    }

    @Test
    void aLeftOutUtilityCountsOnItsOwnInTheDecision() {
        moneyAndCalm();
        net.updateBeliefs();
        assertArrayEquals(new double[] {57, 99, 110}, net.getNodeValue("M"), EXACT);
        assertArrayEquals(new double[] {57, 99, 110}, net.getNodeValue("D"), EXACT);

        net.setMauExpressions("M", new String[] {"Money"});
        assertArrayEquals(new String[] {"Money"}, net.getParentIds("M"));
        net.updateBeliefs();
        assertArrayEquals(new double[] {47, 39, 20}, net.getNodeValue("M"), EXACT);
        assertArrayEquals(new double[] {57, 99, 110}, net.getNodeValue("D"), EXACT);
        net.setInfluenceDiagramAlgorithm(1);
        net.updateBeliefs();
        assertArrayEquals(new double[] {0, 0, 1}, net.getNodeValue("D"), EXACT);

        // Kept with the factor 0, Calm counts zero times.
        net.setMauExpressions("M", new String[] {"Money + 0*Calm"});
        net.updateBeliefs();
        assertArrayEquals(new double[] {1, 0, 0}, net.getNodeValue("D"), EXACT);
        net.setInfluenceDiagramAlgorithm(0);
        net.updateBeliefs();
        assertArrayEquals(new double[] {47, 39, 20}, net.getNodeValue("D"), EXACT);
    }

    @Test
    void expressionsAreComputedPerConfigurationOfTheIndexingNodes() {
        moneyAndCalm();
        node("W", "dry", "wet");
        net.addArc("W", "D");
        net.addArc("W", "Money");
        net.setNodeDefinition("W", new double[] {0.25, 0.75});
        // Money over its parents D then W: a dry, a wet, b dry, ...
        net.setNodeDefinition("Money", new double[] {10, 20, 30, 40, 50, 60});
        net.setMauExpressions("M", new String[] {"Money*Money/100 + Calm"});
        net.updateBeliefs();
        assertArrayEquals(new String[] {"W", "D"}, indexingIds("M"));
        // One row per (W, D), D fastest.
        double[] expected = new double[6];
        double[] calm = {10, 60, 90};
        for (int w = 0; w < 2; w++) {
            for (int d = 0; d < 3; d++) {
                double money = 10 * (2 * d + w + 1);
                expected[3 * w + d] = money * money / 100 + calm[d];
            }
        }
        assertArrayEquals(expected, net.getNodeValue("M"), 1e-9);
        // Observed, W no longer indexes the value: one row per choice of D.
        net.setEvidence("W", "wet");
        net.updateBeliefs();
        assertArrayEquals(new String[] {"D"}, indexingIds("M"));
        assertArrayEquals(Arrays.copyOfRange(expected, 3, 6), net.getNodeValue("M"), 1e-9);
    }

    String[] indexingIds(String id) {
        return Arrays.stream(net.getValueIndexingParents(id)).mapToObj(net::getNodeId)
                .toArray(String[]::new);
    }

    // The utility nodes an expression names have no outcomes for a literal to name.
    @Test
    void aTextLiteralInAnExpressionIsRefused() {
        moneyAndCalm();
        QELTAException e = fails(() -> net.setMauExpressions("M", new String[] {"\"x\" + Money"}));
        assertEquals("QELTA error -4 in function SetExpressions. Invalid text literal: \"x\" in"
                + " expression at index 0, position 0", e.getMessage());
        assertArrayEquals(new String[] {"Money", "Calm"}, net.getParentIds("M"));
        net.updateBeliefs();
        assertTrue(net.isValueValid("M"));
    }

    @Test
    void defaultIntervalsLeaveValuesOutAndOnlyTheLogTells(@TempDir Path dir) throws Exception {
        Path log = dir.resolve("log.txt");
        net.redirectLog(log.toString());
        net.addNode(EQUATION, "X");
        net.addNode(EQUATION, "Y");
        net.setNodeEquation("X", "X = Normal(10, 2)");
        net.setNodeEquation("Y", "Y = X + Normal(0, 1)");
        net.setContEvidence("Y", 11);
        net.updateBeliefs();
        assertTrue(net.isValueDiscretized("X"));
        DiscretizationInterval[] intervals = net.getNodeEquationDiscretization("X");
        assertEquals(new DiscretizationInterval("State0", 0), intervals[0]);
        assertEquals(new DiscretizationInterval("State1", 1), intervals[1]);
        double[] x = net.getNodeValue("X");
        assertEquals(2, x.length);
        assertEquals(1.0, x[0] + x[1], 1e-9);
        String text = Files.readString(log);
        assertTrue(text.contains("-4: Discretization problem in node X:  Overflow samples: 10000,"
                + " max="), text);
        assertTrue(text.contains(" hiBound=1  Total valid samples: 0 of 10000  CPT configs with"
                + " no valid samples: 1 of 1\n"), text);

        // The column of a configuration without any value inside the bounds is uniform: seen
        // through a child that tells nothing.
        node("Z", "z0", "z1");
        net.addArc("X", "Z");
        net.clearEvidence("Y");
        net.setEvidence("Z", "z0");
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.5, 0.5}, net.getNodeValue("X"), EXACT);

        // Bounds that hold the equation's values, set before the node is discretized, avoid it.
        try (Network fresh = new Network()) {
            Path quiet = dir.resolve("quiet.txt");
            fresh.redirectLog(quiet.toString());
            fresh.addNode(EQUATION, "X");
            fresh.setNodeEquation("X", "X = Normal(10, 2)");
            fresh.setNodeEquationBounds("X", -10, 30);
            fresh.addNode(CPT, "Z");
            fresh.addArc("X", "Z");
            fresh.setEvidence("Z", 0);
            fresh.updateBeliefs();
            assertFalse(Files.readString(quiet).contains("Discretization problem"));
        }
    }

    @Test
    void nonFiniteSamplesStayButOutOfStatisticsAndChildFrequencies() {
        net.setRandSeed(5);
        net.addNode(EQUATION, "X");
        net.addNode(EQUATION, "Y");
        net.setNodeEquation("X", "X = Normal(10, 2)");
        net.setNodeEquation("Y", "Y = Sqrt(X - 11)");
        net.setNodeEquationBounds("Y", 0, 4);
        net.setNodeEquationDiscretization("Y", new DiscretizationInterval[] {
            new DiscretizationInterval("low", 1), new DiscretizationInterval("high", 4)});
        node("Z", "z0", "z1");
        net.addArc("Y", "Z");
        net.setNodeDefinition("Z", new double[] {0.9, 0.1, 0.2, 0.8});
        net.updateBeliefs();

        double[] samples = net.getNodeValue("Y");
        assertEquals(net.getSampleCount(), samples.length);
        double[] finite = Arrays.stream(samples).filter(Double::isFinite).toArray();
        long nonFinite = samples.length - finite.length;
        // P(X < 11) = 0.69 for X ~ N(10, 2).
        assertEquals(0.69, (double) nonFinite / samples.length, 0.03);
        double[] stats = net.getNodeSampleStats("Y");
        assertEquals(Arrays.stream(finite).average().getAsDouble(), stats[0], 1e-9);
        assertEquals(Arrays.stream(finite).min().getAsDouble(), stats[2], EXACT);
        assertEquals(Arrays.stream(finite).max().getAsDouble(), stats[3], EXACT);
        assertEquals(stats[0], net.getNodeMean("Y"), 1e-9);

        // Z's frequencies are those given that Y is finite.
        double low = Arrays.stream(finite).filter(v -> v < 1).count() / (double) finite.length;
        double expected = low * 0.9 + (1 - low) * 0.2;
        assertEquals(expected, net.getNodeValue("Z")[0], 0.04);
    }

    @Test
    void poissonOfAnInfiniteMeanDrawsMinusOne() {
        net.addNode(EQUATION, "k");
        net.setNodeEquation("k", "k = Poisson(Inf())");
        net.setNodeEquationBounds("k", -5, 5);
        net.updateBeliefs();
        assertArrayEquals(new double[] {-1}, net.getNodeValue("k"), EXACT);
    }
}
