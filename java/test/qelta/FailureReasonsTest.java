package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Arrays;
import java.util.Deque;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import qelta.learning.BayesianSearch;
import qelta.learning.DataMatch;
import qelta.learning.DataSet;
import qelta.learning.EM;
import qelta.learning.GreedyThickThinning;
import qelta.learning.NaiveBayes;
import qelta.learning.PC;
import qelta.learning.TAN;
import qelta.learning.Validator;

/**
 * Every engine operation that refuses says why in its exception, without a redirect: one row per
 * kind of call that reaches a network (its own methods, diagnosis, value of information,
 * validation, learning), each made to fail once. The reasons are hand texts of the refusals.
 */
class FailureReasonsTest {
    @TempDir Path dir;

    /** A fresh network and the objects made on it, closed before it. */
    static final class Fixture implements AutoCloseable {
        final Network net = new Network();
        private final Deque<AutoCloseable> owned = new ArrayDeque<>();

        <T extends AutoCloseable> T own(T object) {
            owned.push(object);
            return object;
        }

        @Override
        public void close() throws Exception {
            while (!owned.isEmpty()) owned.pop().close();
            net.close();
        }
    }

    /** A failure: setup builds what the call needs and answers the call, which may be repeated. */
    record Case(String name, String reason, Function<Fixture, Executable> setup) {
        @Override
        public String toString() {
            return name;
        }
    }

    static Case of(String name, String reason, Function<Fixture, Executable> setup) {
        return new Case(name, reason, setup);
    }

    static int node(Network net, int type, String id, String... outcomes) {
        int h = net.addNode(type, id);
        if (outcomes.length > 0) {
            int[] keep = new int[outcomes.length];
            Arrays.fill(keep, -1);
            net.setOutcomes(h, outcomes, keep);
        }
        return h;
    }

    /** Decision D (two choices) -> utility U: the smallest influence diagram. */
    static void diagram(Network net) {
        int d = net.addNode(NodeType.DECISION, "D");
        int u = net.addNode(NodeType.UTILITY, "U");
        net.addArc(d, u);
        net.setNodeDefinition(u, new double[] {1, 2});
    }

    /** A data set of variables a and b with the given records. */
    static DataSet data(int[][] records) {
        DataSet data = new DataSet();
        data.addIntVariable("a", -1);
        data.addIntVariable("b", -1);
        for (int r = 0; r < records.length; r++) {
            data.addEmptyRecord();
            data.setInt(0, r, records[r][0]);
            data.setInt(1, r, records[r][1]);
        }
        return data;
    }

    static void cpts(Network net, String... ids) {
        for (String id : ids) node(net, NodeType.CPT, id);
    }

    /** The first count of the records {0, 1}, {1, 1}, {0, 0}, owned by the fixture. */
    static DataSet records(Fixture f, int count) {
        return f.own(data(Arrays.copyOf(new int[][] {{0, 1}, {1, 1}, {0, 0}}, count)));
    }

    /** A validator of node a over two records. */
    static Validator validator(Fixture f) {
        node(f.net, NodeType.CPT, "a", "s0", "s1");
        DataSet data = f.own(data(new int[][] {{0, 1}, {1, 0}}));
        return f.own(new Validator(f.net, data, new DataMatch[] {new DataMatch(0, 0, 0)}));
    }

    static Stream<Case> cases() {
        return Stream.of(
                of("readString", "Error at 1, 0: unclosed token", f -> () -> f.net.readString("<qelta")),
                of("writeFile", "Unknown File Format", f -> () -> f.net.writeFile("n.bif")),
                of("readFile", "Can't open file", f -> () -> f.net.readFile(f.net.toString() + ".xvrn")),
                of("updateBeliefs", "Equation nodes cannot be used in influence diagrams", f -> {
                    diagram(f.net);
                    f.net.addNode(NodeType.EQUATION, "E");
                    return f.net::updateBeliefs;
                }),
                of("updateBeliefs with every decision decided", "Every decision has evidence", f -> {
                    diagram(f.net);
                    f.net.setInfluenceDiagramAlgorithm(InfluenceDiagramAlgorithm.BEST_POLICY);
                    f.net.setEvidence("D", 0);
                    return f.net::updateBeliefs;
                }),
                of("addArc closing a cycle",
                        "An arc from node [C] to node [A] would close a cycle: [A] already leads to [C]", f -> {
                    cpts(f.net, "A", "B", "C");
                    f.net.addArc("A", "B");
                    f.net.addArc("B", "C");
                    return () -> f.net.addArc("C", "A");
                }),
                of("addArc between joined nodes", "Nodes [B] and [A] are already joined by an arc", f -> {
                    cpts(f.net, "A", "B");
                    f.net.addArc("A", "B");
                    return () -> f.net.addArc("B", "A");
                }),
                of("addArc out of a utility node",
                        "Node [U] (NodeType.UTILITY) cannot be a parent of node [C] (NodeType.CPT)", f -> {
                    diagram(f.net);
                    cpts(f.net, "C");
                    return () -> f.net.addArc("U", "C");
                }),
                of("deleteArc of no arc", "There is no arc from node [A] to node [B]", f -> {
                    cpts(f.net, "A", "B");
                    return () -> f.net.deleteArc("A", "B");
                }),
                of("addCostArc twice", "There already is a cost arc from node [A] to [B]", f -> {
                    cpts(f.net, "A", "B");
                    f.net.addCostArc("A", "B");
                    return () -> f.net.addCostArc("A", "B");
                }),
                of("getNodeMean of a utility node", "Node [U] is a utility node", f -> {
                    diagram(f.net);
                    f.net.updateBeliefs();
                    return () -> f.net.getNodeMean("U");
                }),
                of("getNodeStdDev without point values", "Node [A] has neither point values nor intervals", f -> {
                    cpts(f.net, "A");
                    f.net.updateBeliefs();
                    return () -> f.net.getNodeStdDev("A");
                }),
                of("getNodeMean before an update", "Node [A] has no valid value", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.getNodeMean("A");
                }),
                of("calcConfidenceIntervals", "Confidence intervals are not available for influence diagrams", f -> {
                    diagram(f.net);
                    InstanceCounts counts = f.own(new InstanceCounts());
                    return () -> f.net.calcConfidenceIntervals(new String[] {"D"}, counts, 0.95, 10, 1);
                }),
                of("distributedHelperEM", "EM: the counts of node 'N' cannot be kept", f -> {
                    int a = node(f.net, NodeType.CPT, "A");
                    f.net.addArc(a, node(f.net, NodeType.NOISY_MAX, "N"));
                    return () -> f.net.distributedHelperEM(new double[64]);
                }),
                of("DiagNetwork.update", "No fault is pursued", f -> {
                    cpts(f.net, "A");
                    return f.own(new DiagNetwork(f.net))::update;
                }),
                of("ValueOfInfo.update", "Value of information needs a decision and a point of view", f -> {
                    diagram(f.net);
                    return f.own(new ValueOfInfo(f.net))::update;
                }),
                of("Validator.test", "No class nodes specified", f -> validator(f)::test),
                of("Validator.kFold", "Invalid fold count", f -> {
                    Validator v = validator(f);
                    v.addClassNode("a");
                    EM em = f.own(new EM());
                    return () -> v.kFold(em, 1, 0);
                }),
                of("EM.learn", "Counting: column 'b' holds 5, outside the outcomes of node 'a'", f -> {
                    node(f.net, NodeType.CPT, "a", "s0", "s1");
                    DataSet data = f.own(data(new int[][] {{0, 5}, {1, 0}}));
                    EM em = f.own(new EM());
                    return () -> em.learn(data, f.net, new DataMatch[] {new DataMatch(1, 0, 0)}, (int[]) null);
                }),
                of("InstanceCounts.calculate",
                        "InstanceCounts: value 5 outside the outcomes of its node in column b, record 1", f -> {
                    node(f.net, NodeType.CPT, "a", "s0", "s1");
                    DataSet data = f.own(data(new int[][] {{0, 5}, {1, 0}}));
                    InstanceCounts counts = f.own(new InstanceCounts());
                    return () -> counts.calculate(f.net, data, new DataMatch[] {new DataMatch(1, 0, 0)});
                }),
                of("InstanceCounts.setUniform", "counts need every node defined by a CPT", f -> {
                    node(f.net, NodeType.NOISY_MAX, "M");
                    return () -> f.own(new InstanceCounts()).setUniform(f.net, 5);
                }),
                of("annealedMap", "Invalid node handle: 7", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.annealedMap(new int[] {7}, null);
                }),
                of("probEvidence", "Probability of evidence is not available for influence diagrams", f -> {
                    diagram(f.net);
                    return f.net::probEvidence;
                }),
                of("unroll", "The network has no plate node: there is nothing to unroll", f -> {
                    cpts(f.net, "A");
                    return f.net::unroll;
                }),
                of("addTemporalArc", "Temporal arcs join plate nodes; make nodes [A] and [A]", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.addTemporalArc("A", "A", 1);
                }),
                of("setNodeTemporalType", "Node 'U' cannot be a plate node: its kind has no outcomes", f -> {
                    f.net.addNode(NodeType.UTILITY, "U");
                    return () -> f.net.setNodeTemporalType("U", TemporalType.PLATE);
                }),
                of("deleteOutcome", "Node [A] keeps at least two outcomes", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.deleteOutcome("A", 0);
                }),
                of("setContEvidence", "Node 'A' has no intervals", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.setContEvidence("A", 0.5);
                }),
                of("setIntervals", "Interval bounds of node [A] must be numbers that never decrease", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.setIntervals("A", new double[] {2, 1, 0}, false);
                }),
                of("GreedyThickThinning.learn", "BS: too few data points", f -> {
                    GreedyThickThinning gtt = f.own(new GreedyThickThinning());
                    return () -> f.own(gtt.learn(records(f, 1)));
                }),
                of("TAN.learn", "TAN: class variable not found - z", f -> {
                    TAN tan = f.own(new TAN());
                    tan.setClassVariableId("z");
                    return () -> f.own(tan.learn(records(f, 3)));
                }),
                of("NaiveBayes.learn", "NaiveBayes: class variable not found: z", f -> {
                    NaiveBayes nb = f.own(new NaiveBayes());
                    nb.setClassVariableId("z");
                    return () -> f.own(nb.learn(records(f, 3)));
                }),
                of("PC.learn", "PC: too few data points", f -> {
                    PC pc = f.own(new PC());
                    return () -> f.own(pc.learn(records(f, 1)));
                }),
                of("BayesianSearch.learn", "BS: too few data points (at least 3 needed)", f -> {
                    BayesianSearch bs = f.own(new BayesianSearch());
                    return () -> f.own(bs.learn(records(f, 1)));
                }));
    }

    static final String BARE = "QELTA error -?\\d+ in function \\w+";

    /** The failure's message names its reason (a row without one is only not bare). */
    static String reasonOf(Case c, Executable call) {
        QELTAException e = assertThrows(QELTAException.class, call, c.name);
        String message = e.getMessage();
        assertTrue(!message.matches(BARE), c.name + " gave a bare " + message);
        assertTrue(message.contains(c.reason), c.name + ": " + message);
        return message;
    }

    @ParameterizedTest
    @MethodSource("cases")
    void theExceptionSaysWhyOnceARedirectEnds(Case c) throws Exception {
        Path log = dir.resolve("log.txt");
        try (Fixture f = new Fixture()) {
            f.net.redirectLog(log.toString());
            Executable call = c.setup.apply(f);
            QELTAException redirected = assertThrows(QELTAException.class, call);
            String logged = Files.exists(log) ? Files.readString(log) : "";
            // The reason went to the file, or the refusal's own text holds it.
            assertTrue((logged + redirected.getMessage()).contains(c.reason), c.name);
            f.net.redirectLog("");
            String message = reasonOf(c, call);
            assertEquals(logged, Files.exists(log) ? Files.readString(log) : "", c.name);
            assertTrue(!message.contains("\n\n"), message);
        }
    }
}
