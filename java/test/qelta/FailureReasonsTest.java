package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Arrays;
import java.util.Deque;
import java.util.List;
import java.util.function.Function;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import qelta.learning.BayesianSearch;
import qelta.learning.DataMatch;
import qelta.learning.DataSet;
import qelta.learning.DiscretizationMethod;
import qelta.learning.EM;
import qelta.learning.GreedyThickThinning;
import qelta.learning.NaiveBayes;
import qelta.learning.PC;
import qelta.learning.Pattern;
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
                of("addTemporalArc", "Node [A] is not a plate node: temporal arcs join plate nodes", f -> {
                    cpts(f.net, "A");
                    return () -> f.net.addTemporalArc("A", "A", 1);
                }),
                of("readString of a table short of probabilities",
                        "SetProbabilities failed: node 'B': 1 numbers in probabilities, 2 in its table",
                        f -> () -> f.net.readString("<qelta version='1.0' id='Net'><nodes><cpt id='B'>"
                                + "<state id='b0'/><state id='b1'/><probabilities>0.2</probabilities></cpt>"
                                + "</nodes></qelta>")),
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

    /** A refused call and a reading of everything it must leave as it was. */
    record Call(Executable call, Supplier<String> state) {}

    /** A refusal with its code and the words its message must hold. */
    record Refusal(String name, int code, List<String> names, Function<Fixture, Call> setup) {
        @Override
        public String toString() {
            return name;
        }
    }

    static Refusal refusal(String name, int code, Function<Fixture, Call> setup, String... names) {
        return new Refusal(name, code, List.of(names), setup);
    }

    /** A call on the network, which must keep its file text, slice count and evidence. */
    static Call onNet(Fixture f, Executable call) {
        return new Call(call, () -> {
            StringBuilder state = new StringBuilder(f.net.writeString()).append(f.net.getSliceCount());
            for (int h : f.net.getAllNodes()) {
                state.append(' ').append(f.net.isEvidence(h) ? f.net.getEvidence(h) : -1);
            }
            return state.toString();
        });
    }

    /** Plate nodes A and B. */
    static void plate(Network net) {
        cpts(net, "A", "B");
        net.setNodeTemporalType("A", TemporalType.PLATE);
        net.setNodeTemporalType("B", TemporalType.PLATE);
    }

    /** A data set of one float variable x over two records. */
    static Call onFloats(Fixture f, java.util.function.Consumer<DataSet> call) {
        DataSet data = f.own(new DataSet());
        data.addFloatVariable("x", Float.NaN);
        for (int r = 0; r < 2; r++) {
            data.addEmptyRecord();
            data.setFloat(0, r, r);
        }
        return new Call(() -> call.accept(data), () -> data.isDiscrete(0) + " " + data.getFloat(0, 1));
    }

    /** Fault F (outcome broken) observed by test T, and a session over them. */
    static DiagNetwork diagnosis(Fixture f) {
        node(f.net, NodeType.CPT, "F", "ok", "broken");
        f.net.setNodeDiagType("F", DiagRole.TARGET);
        f.net.setFaultOutcome("F", 1, true);
        node(f.net, NodeType.CPT, "T", "pass", "fail");
        f.net.addArc("F", "T");
        f.net.setNodeDiagType("T", DiagRole.OBSERVATION);
        return f.own(new DiagNetwork(f.net));
    }

    /** A file in the temporary folder that a refused write never makes. */
    static String unwritten(String name) {
        return Path.of(System.getProperty("java.io.tmpdir"), "qelta-refused-" + name).toString();
    }

    /** Node A of outcomes s0, s1, s2 given outcomes ids continuing mapping. */
    static Refusal outcomes(String name, int code, String[] ids, int[] mapping, String... names) {
        return refusal("setOutcomes " + name, code, f -> {
            node(f.net, NodeType.CPT, "A", "s0", "s1", "s2");
            return onNet(f, () -> f.net.setOutcomes("A", ids, mapping));
        }, names);
    }

    /** Refusals that once gave only their code; each also leaves its object as it was. */
    static Stream<Refusal> refusals() {
        Stream<Refusal> rows = Stream.of(
                refusal("setEvidence against an implied outcome", -26, f -> {
                    node(f.net, NodeType.CPT, "Tuberculosis", "present", "absent");
                    node(f.net, NodeType.CPT, "TbOrCa", "yes", "no");
                    f.net.addArc("Tuberculosis", "TbOrCa");
                    f.net.setNodeDefinition("TbOrCa", new double[] {1, 0, 0, 1});
                    f.net.setEvidence("Tuberculosis", "present");
                    return onNet(f, () -> f.net.setEvidence("TbOrCa", "no"));
                }, "[TbOrCa]", "[no]", "[yes]"),
                refusal("setOutcomeId to a sibling's id", -2, f -> {
                    node(f.net, NodeType.CPT, "A", "s0", "s1");
                    return onNet(f, () -> f.net.setOutcomeId("A", 0, "s1"));
                }, "[A]", "[s1]"),
                refusal("addOutcome of an existing id", -32, f -> {
                    node(f.net, NodeType.CPT, "A", "s0", "s1");
                    return onNet(f, () -> f.net.addOutcome("A", "s0"));
                }, "[A]", "[s0]"),
                refusal("insertOutcome at the least int", -2, f -> {
                    node(f.net, NodeType.CPT, "A", "s0", "s1");
                    return onNet(f, () -> f.net.insertOutcome("A", Integer.MIN_VALUE, "s2"));
                }, "[A]", "-2147483648"),
                refusal("deleteTemporalArc of no arc", -2, f -> {
                    plate(f.net);
                    return onNet(f, () -> f.net.deleteTemporalArc("A", "B", 1));
                }, "[A]", "[B]", "order 1"),
                refusal("getTemporalParents of order 0", -2, f -> {
                    plate(f.net);
                    return onNet(f, () -> f.net.getTemporalParents("A", 0));
                }, "not 0"),
                refusal("getTemporalParents of a node outside the plate", -2, f -> {
                    cpts(f.net, "A");
                    return onNet(f, () -> f.net.getTemporalParents("A", 5));
                }, "[A]", "not a plate node"),
                refusal("setNodeTemporalType PLATE above a normal child", -2, f -> {
                    cpts(f.net, "X", "Y");
                    f.net.addArc("X", "Y");
                    return onNet(f, () -> f.net.setNodeTemporalType("X", TemporalType.PLATE));
                }, "[X]", "[Y]", "plate"),
                refusal("annealedMap under impossible evidence", -43, f -> {
                    // B = x0 needs A = a0, C = x0 needs A = a1.
                    node(f.net, NodeType.CPT, "A", "a0", "a1");
                    for (String id : new String[] {"B", "C"}) {
                        node(f.net, NodeType.CPT, id, "x0", "x1");
                        f.net.addArc("A", id);
                        f.net.setEvidence(id, "x0");
                    }
                    f.net.setNodeDefinition("B", new double[] {0.5, 0.5, 0, 1});
                    f.net.setNodeDefinition("C", new double[] {0, 1, 0.5, 0.5});
                    return onNet(f, () -> f.net.annealedMap(new String[] {"A"}, null));
                }, "[C]", "impossible"),
                refusal("DiagNetwork.setPursuedFaults of no fault", -2, f -> {
                    DiagNetwork diag = diagnosis(f);
                    return new Call(() -> diag.setPursuedFaults(new int[] {7}),
                            () -> Arrays.toString(diag.getPursuedFaults()));
                }, "Fault index 7"),
                refusal("DiagNetwork.releaseObservation of a test not performed", -2, f -> {
                    DiagNetwork diag = diagnosis(f);
                    return onNet(f, () -> diag.releaseObservation("T"));
                }, "[T]", "no evidence"),
                refusal("DiagNetwork.releaseObservation of a fault node", -2, f -> {
                    DiagNetwork diag = diagnosis(f);
                    return onNet(f, () -> diag.releaseObservation("F"));
                }, "[F]", "no observation node"),
                refusal("DiagNetwork.getFaultIndex of no node", -2, f -> {
                    DiagNetwork diag = diagnosis(f);
                    return onNet(f, () -> diag.getFaultIndex(9999, 9999));
                }, "outcome 9999 of node 9999"),
                refusal("deleteSubmodel given a node's handle", -2, f -> {
                    cpts(f.net, "A");
                    return onNet(f, () -> f.net.deleteSubmodel(f.net.getNode("A")));
                }, "main submodel"),
                refusal("getTemporalOrders of a node outside the plate", -2, f -> {
                    cpts(f.net, "A");
                    return onNet(f, () -> f.net.getTemporalOrders("A"));
                }, "[A]", "not a plate node"),
                refusal("getTemporalChildren of a node outside the plate", -2, f -> {
                    cpts(f.net, "A");
                    return onNet(f, () -> f.net.getTemporalChildren("A"));
                }, "[A]", "not a plate node"),
                refusal("getUnrolledParents of a node outside the plate", -2, f -> {
                    cpts(f.net, "A");
                    return onNet(f, () -> f.net.getUnrolledParents("A"));
                }, "[A]", "not a plate node"),
                refusal("setNoisyHenrionDefinition of a distinguished column", -2, f -> {
                    f.net.addArc(node(f.net, NodeType.CPT, "P"), node(f.net, NodeType.NOISY_MAX, "C"));
                    double[] items = f.net.getNoisyHenrionDefinition("C");
                    items[2] = 0.5; // parent P's second column: its distinguished outcome's
                    items[3] = 0.5;
                    return onNet(f, () -> f.net.setNoisyHenrionDefinition("C", items));
                }, "[C]", "parent [P]", "distinguished"),
                refusal("DataSet.discretize into the most bins", -2, f -> onFloats(f,
                        data -> data.discretize(0, DiscretizationMethod.EQUAL_WIDTH, Integer.MAX_VALUE, "b")),
                        "Bin count 2147483647"),
                refusal("DataSet.setStateNames of a float variable", -4,
                        f -> onFloats(f, data -> data.setStateNames(0, new String[] {"low"})), "'x'"),
                refusal("setNoisyParentStrengths out of order", -4, f -> {
                    f.net.addArc(node(f.net, NodeType.CPT, "P"), node(f.net, NodeType.NOISY_MAX, "C"));
                    return onNet(f, () -> f.net.setNoisyParentStrengths("C", 0, new int[] {0, 0}));
                }, "[C]", "parent 0"),
                refusal("setNoisyHenrionDefinition of no probabilities", -4, f -> {
                    f.net.addArc(node(f.net, NodeType.CPT, "P"), node(f.net, NodeType.NOISY_MAX, "C"));
                    double[] items = f.net.getNoisyHenrionDefinition("C");
                    Arrays.fill(items, 2.0);
                    return onNet(f, () -> f.net.setNoisyHenrionDefinition("C", items));
                }, "[C]", " 2,"));
        Stream<Refusal> levels = Stream.of(1.5, Double.NaN).map(level -> refusal(
                "calcConfidenceIntervals at level " + level, -2, f -> {
                    cpts(f.net, "A");
                    InstanceCounts counts = f.own(new InstanceCounts());
                    counts.setUniform(f.net, 5);
                    return onNet(f, () -> f.net.calcConfidenceIntervals(new String[] {"A"}, counts, level, 10, 1));
                }, "level " + (level > 1 ? "1.5" : "nan")));
        Stream<Refusal> bounds = Stream.of(5.0, Double.NaN).map(lower -> refusal(
                "setNodeEquationBounds from " + lower + " to 1", -2, f -> {
                    f.net.addNode(NodeType.EQUATION, "E");
                    return onNet(f, () -> f.net.setNodeEquationBounds("E", lower, 1));
                }, "[E]", lower > 1 ? "(5)" : "(nan)", "(1)"));
        Stream<Refusal> unrolled = Stream.of(0, -1).map(order -> refusal(
                "getUnrolledParents of order " + order, -2, f -> {
                    plate(f.net);
                    return onNet(f, () -> f.net.getUnrolledParents("B", order));
                }, "not " + order));
        Stream<Refusal> edits = Stream.of(
                outcomes("beyond the old outcomes", -2, new String[] {"x", "y"}, new int[] {0, 3},
                        "[A]", "entry 1", "beyond its 3 outcomes"),
                outcomes("naming an old outcome twice", -2, new String[] {"x", "y"}, new int[] {1, 1},
                        "[A]", "both continue its outcome 1"),
                outcomes("to one outcome", -2, new String[] {"x"}, new int[] {0}, "[A]", "at least two"),
                outcomes("with two equal ids", -32, new String[] {"x", "x"}, new int[] {0, -1},
                        "[A]", "[x] twice"));
        Stream<String> writers = Stream.of("net", "dsc", "dne");
        Stream<Refusal> mau = writers.map(extension -> refusal(
                "writeFile ." + extension + " of a multi-attribute utility node", -2, f -> {
                    f.net.addNode(NodeType.MAU, "M");
                    return onNet(f, () -> f.net.writeFile(unwritten("m." + extension)));
                }, "cannot be saved in", "Node [M] is of type MAU"));
        Stream<Refusal> ergo = Stream.of(refusal("writeFile .erg of a noisy-MAX node", -2, f -> {
            f.net.addNode(NodeType.NOISY_MAX, "N");
            return onNet(f, () -> f.net.writeFile(unwritten("n.erg")));
        }, "cannot be saved in Ergo format", "Node [N] is of type NOISY_MAX"));
        Stream<Refusal> sizes = Stream.of(-1, Integer.MAX_VALUE).map(size -> refusal(
                "Pattern.setSize(" + size + ")", QELTAException.NO_CODE, f -> {
                    Pattern pattern = f.own(new Pattern());
                    pattern.setSize(2);
                    pattern.setEdge(0, 1, 2);
                    return new Call(() -> pattern.setSize(size), () -> pattern.getSize() + " " + pattern.getEdge(0, 1));
                }, "size " + size));
        return Stream.of(rows, levels, bounds, unrolled, edits, mau, ergo, sizes).flatMap(r -> r);
    }

    @ParameterizedTest
    @MethodSource("refusals")
    void aRefusalSaysWhyAndLeavesItsObject(Refusal r) throws Exception {
        try (Fixture f = new Fixture()) {
            Call c = r.setup.apply(f);
            String before = c.state.get();
            QELTAException e = assertThrows(QELTAException.class, c.call, r.name);
            String message = e.getMessage();
            assertTrue(!message.matches(BARE), r.name + " gave a bare " + message);
            for (String name : r.names) assertTrue(message.contains(name), r.name + ": " + message);
            assertTrue(!message.matches("(?s).*(vector|bad_alloc|basic_string).*"), message);
            assertEquals(r.code, e.getErrorCode(), r.name);
            assertEquals(before, c.state.get(), r.name);
        }
    }

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
