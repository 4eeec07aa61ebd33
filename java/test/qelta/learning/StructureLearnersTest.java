package qelta.learning;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static qelta.learning.DataSetTest.engineFails;
import static qelta.learning.DataSetTest.refused;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import qelta.ChildJvm;
import qelta.Network;

/** Options, learning and patterns of the structure learners, and their background knowledge. */
class StructureLearnersTest {
    /** Two binary columns A, B holding each pair (a, b) counts[2a + b] times. */
    static DataSet pairs(int... counts) {
        DataSet data = new DataSet();
        data.addIntVariable("A", -1);
        data.addIntVariable("B", -1);
        data.setStateNames(0, new String[] {"a0", "a1"});
        data.setStateNames(1, new String[] {"b0", "b1"});
        int r = 0;
        for (int cell = 0; cell < 4; ++cell) {
            for (int k = 0; k < counts[cell]; ++k, ++r) {
                data.addEmptyRecord();
                data.setInt(0, r, cell / 2);
                data.setInt(1, r, cell % 2);
            }
        }
        return data;
    }

    @Test
    void optionDefaultsAndCopies() {
        try (BayesianSearch bs = new BayesianSearch();
                PC pc = new PC();
                TAN tan = new TAN();
                GreedyThickThinning gtt = new GreedyThickThinning()) {
            assertEquals(5, bs.getMaxParents());
            assertEquals(0, bs.getMaxSearchTime());
            assertEquals(20, bs.getIterationCount());
            assertEquals(0.1, bs.getLinkProbability());
            assertEquals(0.001, bs.getPriorLinkProbability());
            assertEquals(50, bs.getPriorSampleSize());
            assertEquals(0, bs.getRandSeed());
            assertEquals(5, gtt.getMaxParents());
            assertEquals(8, pc.getMaxAdjacency());
            assertEquals(0, pc.getMaxSearchTime());
            assertEquals(0.05, pc.getSignificance());
            assertEquals(0, tan.getMaxSearchTime());
            assertEquals(0, tan.getRandSeed());
            assertEquals("", tan.getClassVariableId());
            refused("Invalid value -3 of argument count; valid values are 1 and above",
                    () -> bs.setIterationCount(-3));
            assertEquals(20, bs.getIterationCount());
            tan.setClassVariableId("C");
            refused("Unexpected null Java string.", () -> tan.setClassVariableId(null));
            assertEquals("C", tan.getClassVariableId());

            try (BkKnowledge first = pc.getBkKnowledge(); BkKnowledge second = pc.getBkKnowledge()) {
                assertNotSame(first, second);
                first.addVariable("a");
                first.addVariable("b");
                first.addForcedArc(0, 1);
                try (BkKnowledge third = pc.getBkKnowledge()) {
                    assertEquals(0, third.getVariableCount());
                }
                pc.setBkKnowledge(first);
                try (BkKnowledge copy = pc.getBkKnowledge()) {
                    assertArrayEquals(new int[] {1}, copy.getForcedChildren(0));
                }
                assertEquals(0, second.getVariableCount());
            }
            refused("BkKnowledge can't be null", () -> bs.setBkKnowledge(null));
        }
    }

    @Test
    void emSettersKeepTheStartingPointConsistent() {
        try (EM em = new EM()) {
            assertEquals(0, em.getEqSampleSize());
            assertTrue(em.getRandomizeParameters());
            assertFalse(em.getUniformizeParameters());
            assertEquals(0, em.getSeed());
            assertFalse(em.getRelevance());
            assertTrue(em.getAutoSlices());
            em.setEqSampleSize(5);  // refused while randomizing
            assertEquals(0, em.getEqSampleSize());
            em.setRandomizeParameters(false);
            em.setEqSampleSize(5);
            assertEquals(5, em.getEqSampleSize());
            em.setUniformizeParameters(true);
            assertFalse(em.getRandomizeParameters());
            assertEquals(1, em.getEqSampleSize());
            em.setRandomizeParameters(true);
            assertFalse(em.getUniformizeParameters());
            em.setSeed(7);
            em.setRelevance(true);
            em.setAutoSlices(false);
            assertEquals(7, em.getSeed());
            assertTrue(em.getRelevance());
            assertFalse(em.getAutoSlices());
        }
    }

    @Test
    void bayesianSearchScoresAndRefuses() {
        try (BayesianSearch bs = new BayesianSearch(); DataSet data = pairs(45, 5, 5, 45); DataSet two = pairs(1, 1, 0, 0)) {
            bs.setIterationCount(1);
            try (Network net = bs.learn(data)) {
                assertEquals(2, net.getNodeCount());
                assertEquals(1, net.getParentIds("A").length + net.getParentIds("B").length);
            }
            assertEquals(-124.3833830067, bs.getLastScore(), 1e-9);
            engineFails("QELTA error -1 in function Learn. \nBS: too few data points (at least 3 needed)\n", -1, () -> bs.learn(two));
            assertEquals(-124.3833830067, bs.getLastScore(), 1e-9);
            refused("DataSet can't be null", () -> bs.learn(null));
        }
        try (GreedyThickThinning gtt = new GreedyThickThinning(); DataSet data = pairs(45, 5, 5, 45)) {
            gtt.setMaxParents(0);
            try (Network net = gtt.learn(data)) {
                assertEquals(0, net.getParentIds("B").length + net.getParentIds("A").length);
            }
        }
    }

    @Test
    void classifiersAndPc() {
        try (DataSet data = pairs(40, 10, 10, 40); TAN tan = new TAN(); NaiveBayes nb = new NaiveBayes(); PC pc = new PC()) {
            tan.setClassVariableId("B");
            try (Network net = tan.learn(data)) {
                assertArrayEquals(new String[] {"B"}, net.getParentIds("A"));
            }
            engineFails("QELTA error -2 in function Learn. \nNaiveBayes: class variable not found: ", -2, () -> nb.learn(data));
            nb.setClassVariableId("A");
            try (Network net = nb.learn(data)) {
                assertArrayEquals(new String[] {"A"}, net.getParentIds("B"));
                assertArrayEquals(new double[] {0.8, 0.2, 0.2, 0.8}, net.getNodeDefinition("B"), 1e-12);
            }
            try (Pattern pattern = pc.learn(data)) {
                assertEquals(2, pattern.getSize());
                assertEquals(1, pattern.getEdge(0, 1));
                assertFalse(pattern.isDAG());
                try (Network net = pattern.makeNetwork(data)) {
                    assertArrayEquals(new String[] {"B"}, net.getParentIds("A"));
                }
                assertTrue(pattern.isDAG());
            }
        }
    }

    @Test
    void everyStructureLearnerGivesItsReasonAfterALineFeed() {
        try (DataSet two = pairs(1, 1, 0, 0); BayesianSearch bs = new BayesianSearch();
                GreedyThickThinning gtt = new GreedyThickThinning(); PC pc = new PC(); TAN tan = new TAN();
                NaiveBayes nb = new NaiveBayes()) {
            tan.setClassVariableId("A");
            nb.setClassVariableId("A");
            String prefix = "QELTA error -1 in function Learn. \n";
            engineFails(prefix + "BS: too few data points (at least 3 needed)\n", -1, () -> bs.learn(two));
            engineFails(prefix + "BS: too few data points (at least 3 needed)\n", -1, () -> gtt.learn(two));
            engineFails(prefix + "PC: too few data points", -1, () -> pc.learn(two));
            engineFails(prefix + "TAN: too few data points (at least 3 needed)\n", -1, () -> tan.learn(two));
            engineFails(prefix + "NaiveBayes: too few data points (at least 3 needed)", -1, () -> nb.learn(two));
        }
    }

    @Test
    void patternEdges() {
        try (Pattern p = new Pattern(); DataSet data = pairs(1, 1, 1, 1)) {
            assertEquals(0, p.getSize());
            p.setSize(3);
            assertEquals(0, p.getEdge(2, 1));
            refused("Invalid edge index: 3", () -> p.getEdge(0, 3));
            String edges = "; valid values are PatternEdge.NONE (0), PatternEdge.UNDIRECTED (1),"
                    + " PatternEdge.DIRECTED (2)";
            refused("Invalid value 3 of argument type" + edges, () -> p.setEdge(0, 1, 3));
            refused("Invalid value -1 of argument type" + edges, () -> p.setEdge(0, 1, -1));
            refused("Pattern size -1 is negative", () -> p.setSize(-1));
            p.setEdge(0, 1, 2);
            p.setEdge(1, 2, 2);
            p.setEdge(2, 0, 2);
            assertTrue(p.hasCycle());
            assertFalse(p.isDAG());
            p.setSize(2);
            assertEquals(2, p.getEdge(0, 1));
            assertTrue(p.isDAG());
            p.setSize(3);
            engineFails("QELTA error -1 in function MakeNetwork", -1, () -> p.makeNetwork(data));
        }
    }

    /** Runs the resize child in a JVM whose address space is limited, so the large table fails. */
    @Test
    void failedResizeKeepsThePattern() throws Exception {
        String output = ChildJvm.run(
                List.of("/bin/sh", "-c", "ulimit -v 1200000 && exec \"$@\"", "sh"),
                List.of("-Xmx64m", "-Xss1m", "-XX:+UseSerialGC", "-XX:ReservedCodeCacheSize=32m",
                        "-XX:CompressedClassSpaceSize=64m", "-XX:-UseCompressedOops"),
                ChildJvm.classPath(Pattern.class, StructureLearnersTest.class),
                ResizeChild.class.getName(), Map.of());
        assumeFalse(output.startsWith("SKIP"), output);
        assertEquals(List.of("OK"), output.lines().toList(), output);
    }

    /** Child process: a 65,536-variable table cannot be had; the old pattern must stay whole. */
    public static final class ResizeChild {
        public static void main(String[] args) {
            final int n = 300;
            try (Pattern p = new Pattern()) {
                p.setSize(n);
                for (int i = 0; i < n; i++) {
                    p.setEdge(i, (i * 7 + 1) % n, 1 + i % 2);
                }
                try {
                    p.setSize(65536);
                    System.out.println("SKIP the table was allocated");
                    return;
                } catch (qelta.QELTAException expectedOutOfMemory) {
                }
                boolean kept = p.getSize() == n;
                for (int e = 0; e < n * n && kept; e++) {
                    int i = e / n, j = e % n;
                    kept = p.getEdge(i, j) == (j == (i * 7 + 1) % n ? 1 + i % 2 : 0);
                }
                // The memory the failed attempt took is back.
                p.setSize(4000);
                boolean regrown = p.getEdge(3999, 3999) == 0 && p.getEdge(1, 8) == 2;
                System.out.println(kept && regrown ? "OK" : "FAIL kept " + kept);
            }
        }
    }

    @Test
    void arcsAreCheckedAgainstTheVariables() {
        try (BkKnowledge bk = new BkKnowledge()) {
            assertEquals(0, bk.getVariableCount());
            refused("Invalid variable index: 0", () -> bk.getTier(0));
            bk.addForcedArc(0, 1);
            refused("Invalid variable index: 0", () -> bk.getForcedChildren(0));
            refused("Arc between variables 0 and 1 already exists.", () -> bk.addForcedArc(0, 1));
            bk.addForbiddenArc(0, 1);
        }
        try (BkKnowledge bk = new BkKnowledge()) {
            bk.addVariable("a");
            bk.addVariable("b");
            refused("Invalid variable index for arc end: 2", () -> bk.addForbiddenArc(0, 2));
            refused("Invalid variable index for arc start: -1", () -> bk.addForbiddenArc(-1, 5));
            refused("Invalid variable id: 'q'", () -> bk.addForcedArc("p", "q"));
            refused("Duplicate variable id: a", () -> bk.addVariable("a"));
            bk.addVariable("c");
            bk.addForcedArc(0, 2);
            bk.addForcedArc("b", "c");
            bk.addForcedArc(0, 1);
            assertArrayEquals(new int[] {2, 1}, bk.getForcedChildren(0));
            assertArrayEquals(new int[0], bk.getForbiddenChildren(0));
            bk.setTier(1, 3);
            bk.setTier("b", 5);
            assertEquals(5, bk.getTier(1));
            assertEquals(0, bk.getTier("a"));
            assertEquals("c", bk.getVariableId(2));
            assertEquals(2, bk.findVariable("c"));
        }
    }

    @Test
    void fileKeepsPositionsAndMatchingMovesToColumns(@TempDir Path dir) throws IOException {
        Path file = dir.resolve("k.xml");
        try (BkKnowledge bk = new BkKnowledge(); DataSet data = new DataSet()) {
            bk.addVariable("a");
            bk.addVariable("b");
            bk.addForcedArc("a", "b");
            bk.writeFile(file.toString());
            String text = new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
            assertTrue(text.contains("<variable id=\"a\" position=\"10 10 82 46\" />"), text);
            assertTrue(text.contains("<variable id=\"b\" position=\"10 92 82 128\" />"), text);
            bk.readFile(file.toString());
            assertEquals(2, bk.getVariableCount());
            data.addIntVariable("b", -1);
            data.addIntVariable("a", -1);
            bk.matchData(data);
            assertArrayEquals(new int[] {0}, bk.getForcedChildren(1));
            String missing = dir.resolve("none.xml").toString();
            engineFails("QELTA error -103 in function ReadFile. Error at 0, 0: Can't open file "
                    + missing, -103, () -> bk.readFile(missing));
            try (DataSet other = new DataSet()) {
                engineFails("QELTA error -2 in function MatchData. MatchData: there are no matches"
                        + " between dataset and background knowledge.", -2, () -> bk.matchData(other));
            }
            refused("DataSet can't be null", () -> bk.matchData(null));
        }
        // Identifiers the file would merge are refused before it exists.
        try (BkKnowledge bk = new BkKnowledge()) {
            bk.addVariable("x\uFFFE");
            bk.addVariable("x\uFFFF");
            bk.addVariable("C");
            Path merged = dir.resolve("merged.xml");
            engineFails("QELTA error -103 in function WriteFile. Variable 0 ('x\uFFFE') cannot be"
                    + " written: its identifier holds bytes that are not UTF-8, a character XML does"
                    + " not allow or a control byte", -103, () -> bk.writeFile(merged.toString()));
            assertFalse(Files.exists(merged));
        }
    }
}
