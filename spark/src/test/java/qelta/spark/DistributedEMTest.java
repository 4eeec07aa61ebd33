package qelta.spark;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.function.Consumer;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.junit.jupiter.api.Test;
import qelta.Network;
import qelta.QELTAException;
import qelta.UserProperty;
import qelta.learning.DataSet;
import qelta.learning.EM;

class DistributedEMTest {
    private static final int RECORDS = 10_000;

    @org.junit.jupiter.api.BeforeAll
    static void blocksOfAFewThousandRecords() {
        // A partition's records then span several blocks, which must add up as one run.
        RecordBlock.capacity = 3000;
    }

    /** EM.learn on a network read from text: its tables, score and (when it tells) passes. */
    private record Learned(Network net, double score, int passes) {}

    private static Learned oneMachine(String text, int[][] records, EM em, String[] fixed) {
        Network net = TestData.read(text);
        DataSet data = TestData.dataSet(net, records);
        em.learn(data, net, data.matchNetwork(net), fixed);
        return new Learned(net, em.getLastScore(), em.getPassCount());
    }

    private static EM options(Consumer<EM> set) {
        EM em = new EM();
        set.accept(em);
        return em;
    }

    /** Every table, the score and the passes as EM.learn's, bit for bit, on one partition. */
    private static DistributedEM.Result assertSameAsOneMachine(String text, int[][] records, Consumer<EM> set,
            String... fixed) {
        return assertSameAsOneMachine(text, records, frame -> frame, set, fixed);
    }

    /** The same, with the one partition's table edited first. */
    private static DistributedEM.Result assertSameAsOneMachine(String text, int[][] records,
            java.util.function.UnaryOperator<Dataset<Row>> edit, Consumer<EM> set, String... fixed) {
        Learned expected = oneMachine(text, records, options(set), fixed);
        Network net = TestData.read(text);
        DistributedEM.Result got = new DistributedEM(options(set)).setFixedNodes(fixed)
                .learn(text, edit.apply(TestData.frame(net, records, 1)));
        for (String id : net.getAllNodeIds()) {
            assertArrayEquals(expected.net().getNodeDefinition(id), got.network().getNodeDefinition(id), id);
        }
        assertEquals(expected.score(), got.score());
        assertEquals(expected.passes(), got.passes());
        return got;
    }

    @Test
    void onePartitionLearnsAlarmBitForBitAsEmLearn() {
        String text = TestData.shared("alarm");
        int[][] records = TestData.sample(TestData.read(text), RECORDS, 20261209L, 0.2);
        DistributedEM.Result uniform = assertSameAsOneMachine(text, records, em -> em.setUniformizeParameters(true));
        assertTrue(uniform.passes() > 1, "passes " + uniform.passes());
        assertSameAsOneMachine(text, records, em -> {
            em.setRandomizeParameters(true);
            em.setSeed(17);
        });
    }

    @Test
    void fixedNodesAndAWeightedStartOnOnePartitionAsEmLearn() {
        String text = TestData.shared("alarm");
        int[][] records = TestData.sample(TestData.read(text), RECORDS * 2 / 5, 1234L, 0.2);
        // Fixed nodes keep their tables; the others start from random values.
        DistributedEM.Result fixed = assertSameAsOneMachine(text, records, em -> em.setSeed(5), "HR", "VENTLUNG");
        assertEquals(java.util.Arrays.toString(TestData.read(text).getNodeDefinition("HR")),
                java.util.Arrays.toString(fixed.network().getNodeDefinition("HR")));
        // No start but the network's own, weighted as 5 records.
        assertSameAsOneMachine(text, records, em -> {
            em.setRandomizeParameters(false);
            em.setEqSampleSize(5);
        });
    }

    @Test
    void columnsNamedNotToLearnKeepTheirStartOnOnePartition() {
        String text = TestData.shared("alarm");
        Network net = TestData.read(text);
        net.setNodeUserProperties("HR", new UserProperty[] {new UserProperty("VRN_NOLEARN", "0 2")});
        net.setNodeUserProperties("CO", new UserProperty[] {new UserProperty("VRN_NOLEARN", "ALL")});
        String marked = net.writeString();
        int[][] records = TestData.sample(net, RECORDS / 2, 99L, 0.2);
        DistributedEM.Result got = assertSameAsOneMachine(marked, records, em -> em.setUniformizeParameters(true));
        double[] co = got.network().getNodeDefinition("CO");
        double uniform = 1.0 / got.network().getOutcomeCount("CO");
        for (double p : co) assertEquals(uniform, p);
    }

    @Test
    void completeDataAreCountedAsEmLearnCountsThem() {
        String text = TestData.shared("alarm");
        int[][] records = TestData.sample(TestData.read(text), RECORDS, 7L, 0.0);
        assertEquals(0, assertSameAsOneMachine(text, records, em -> em.setUniformizeParameters(true)).passes());
        // A prior of the network's own tables: each count is added to it one record at a time.
        assertSameAsOneMachine(text, records, em -> {
            em.setRandomizeParameters(false);
            em.setEqSampleSize(5);
        });
        // Over partitions the integer counts are exact, and so are the tables.
        Network net = TestData.read(text);
        Learned expected = oneMachine(text, records, options(em -> em.setUniformizeParameters(true)), null);
        EM em = options(e -> e.setUniformizeParameters(true));
        DistributedEM.Result got = new DistributedEM(em).learn(text, TestData.frame(net, records, 3));
        for (String id : net.getAllNodeIds()) {
            assertArrayEquals(expected.net().getNodeDefinition(id), got.network().getNodeDefinition(id), id);
        }
        assertEquals(expected.score(), got.score(), 1e-9 * Math.abs(expected.score()));
    }

    @Test
    void morePartitionsDifferByRoundingsOnly() {
        String text = TestData.shared("alarm");
        int[][] records = TestData.sample(TestData.read(text), RECORDS, 31L, 0.2);
        DistributedEM.Result one = new DistributedEM(options(em -> em.setUniformizeParameters(true)))
                .learn(text, TestData.frame(TestData.read(text), records, 1));
        // Then with the threshold at pass 3's own ratio, where a rounding may end a run a pass apart.
        double[] l = one.passLikelihoods();
        assertEquals(one.passes(), l.length);
        for (double tolerance : new double[] {1e-4, l[1] / l[2] - 1.0}) {
            Consumer<EM> set = em -> {
                em.setUniformizeParameters(true);
                em.setTolerance(tolerance);
            };
            Learned expected = oneMachine(text, records, options(set), null);
            for (int partitions : new int[] {2, 3, 7}) {
                Network net = TestData.read(text);
                Dataset<Row> frame = TestData.frame(net, records, partitions);
                assertEquals(partitions, frame.javaRDD().getNumPartitions());
                DistributedEM.Result got = new DistributedEM(options(set)).learn(text, frame);
                Learned want = expected;
                if (got.passes() != expected.passes()) {
                    assertEquals(1, Math.abs(got.passes() - expected.passes()), "passes over " + partitions);
                    int pass = Math.min(got.passes(), expected.passes());
                    double ratio = got.passLikelihoods()[pass - 2] / got.passLikelihoods()[pass - 1];
                    System.out.printf("over %d partitions a run ends a pass apart: L0 / L = %.17g at pass %d%n",
                            partitions, ratio, pass);
                    assertEquals(1.0 + tolerance, ratio, 1e-12 * ratio);
                    want = oneMachine(text, records, options(set.andThen(em -> em.setMaxPasses(got.passes()))), null);
                }
                for (String id : net.getAllNodeIds()) {
                    double[] expect = want.net().getNodeDefinition(id);
                    double[] have = got.network().getNodeDefinition(id);
                    for (int k = 0; k < expect.length; ++k) {
                        assertEquals(expect[k], have[k], 1e-9, id + "[" + k + "] over " + partitions + " partitions");
                    }
                }
                assertEquals(want.score(), got.score(), 1e-9 * Math.abs(want.score()));
            }
        }
    }

    @Test
    void aCapEndsTheRunAtThatPassAndAFinerToleranceGoesOn() throws Exception {
        String text = TestData.asia();
        Network net = TestData.read(text);
        int[][] records = TestData.sample(net, 2000, 3L, 0.3);
        Dataset<Row> frame = TestData.frame(net, records, 2);
        EM em = options(e -> e.setUniformizeParameters(true));
        DistributedEM.Result full = new DistributedEM(em).setFixedNodes("TbOrCa").learn(text, frame);
        em.setMaxPasses(2);
        DistributedEM.Result capped = new DistributedEM(em).setFixedNodes("TbOrCa").learn(text, frame);
        em.setMaxPasses(Integer.MAX_VALUE);
        em.setTolerance(1e-9);
        DistributedEM.Result finer = new DistributedEM(em).setFixedNodes("TbOrCa").learn(text, frame);
        assertEquals(2, capped.passes());
        assertTrue(full.passes() > 2 && finer.passes() > full.passes(), full.passes() + " " + finer.passes());
        assertTrue(finer.score() >= full.score());
    }

    @Test
    void dataWithoutAnyValueAreRefusedAsByEmLearnAndTheTablesKept() throws Exception {
        String text = TestData.asia();
        Network counted = TestData.read(text);
        counted.setNodeType("TbOrCa", 18); // a CPT: every node counts
        int[][] blank = new int[1][counted.getAllNodeIds().length];
        java.util.Arrays.fill(blank[0], -1);
        for (int[][] records : new int[][][] {new int[0][], blank}) {
            refusedWithoutAnyValue(text, records, e -> e.setUniformizeParameters(true), "TbOrCa");
            refusedWithoutAnyValue(counted.writeString(), records, e -> e.setRandomizeParameters(false));
        }
    }

    /** Refused by both learners with -2 and the same reason; EM.learn's tables stay to the bit. */
    private static void refusedWithoutAnyValue(String text, int[][] records, Consumer<EM> set, String... fixed) {
        Network net = TestData.read(text);
        DataSet data = TestData.dataSet(net, records);
        QELTAException one = assertThrows(QELTAException.class,
                () -> options(set).learn(data, net, data.matchNetwork(net), fixed));
        Network start = TestData.read(text);
        for (String id : net.getAllNodeIds()) {
            assertArrayEquals(start.getNodeDefinition(id), net.getNodeDefinition(id), id);
        }
        QELTAException distributed = assertThrows(QELTAException.class,
                () -> new DistributedEM(options(set)).setFixedNodes(fixed).learn(text, TestData.frame(net, records, 2)));
        String reason = "EM: no record of the data holds a value for a matched node (" + records.length + " records)";
        for (QELTAException e : new QELTAException[] {one, distributed}) {
            assertEquals(-2, e.getErrorCode());
            assertTrue(e.getMessage().contains(reason), e.getMessage());
        }
    }

    @Test
    void badInputIsRefusedNamingColumnAndRecordBeforeAnyPass() throws Exception {
        String text = TestData.asia();
        Network net = TestData.read(text);
        int[][] records = TestData.sample(net, 50, 11L, 0.1);
        Dataset<Row> frame = TestData.frame(net, records, 2);
        DistributedEM learner = new DistributedEM(new EM()).setFixedNodes("TbOrCa");
        QELTAException e = assertThrows(QELTAException.class,
                () -> learner.learn(text, frame.withColumn("weight", org.apache.spark.sql.functions.lit("x"))));
        assertTrue(e.getMessage().contains("'weight' names no node"), e.getMessage());
        String first = net.getAllNodeIds()[0];
        String second = net.getAllNodeIds()[1];
        // Record 38 of the data (counted from 1) holds the bad value, whatever partition it is in.
        String message = assertThrows(QELTAException.class,
                () -> learner.learn(text, setCell(net, records, 37, 0, "nowhere"))).getMessage();
        assertTrue(message.contains("column '" + first + "'") && message.contains("'nowhere'")
                && message.contains("record 38"), message);
        message = assertThrows(QELTAException.class,
                () -> learner.learn(text, setCell(net, records, 4, 1, 9))).getMessage();
        assertTrue(message.contains("column '" + second + "'") && message.contains("record 5"), message);
        message = assertThrows(QELTAException.class,
                () -> learner.learn(text, setCell(net, records, 0, 0, "12x"))).getMessage();
        assertTrue(message.contains("'12x'") && message.contains("record 1"), message);
        message = assertThrows(QELTAException.class,
                () -> learner.learn(text, frame.withColumn(second, org.apache.spark.sql.functions.lit(0.5)))).getMessage();
        assertTrue(message.contains("column '" + second + "'"), message);
        assertThrows(QELTAException.class, () -> learner.learn("<net", frame));
    }

    /** The records with cell (record, column) replaced by value, in order over the default partitions. */
    private static Dataset<Row> setCell(Network net, int[][] records, int record, int column, Object value) {
        Dataset<Row> frame = TestData.frame(net, records, 1);
        java.util.List<Row> rows = new java.util.ArrayList<>(frame.collectAsList());
        Object[] cells = new Object[rows.get(record).length()];
        for (int i = 0; i < cells.length; ++i) cells[i] = rows.get(record).get(i);
        cells[column] = value;
        rows.set(record, org.apache.spark.sql.RowFactory.create(cells));
        Dataset<Row> changed = TestData.spark().createDataFrame(rows, frame.schema());
        assertEquals(2, changed.javaRDD().getNumPartitions());
        return changed;
    }

    @Test
    void anImpossibleRecordEndsTheRunNamingItAndKindsNotCountedAreRefused() throws Exception {
        String text = TestData.asia();
        Network net = TestData.read(text);
        int[][] records = TestData.sample(net, 40, 5L, 0.0);
        String[] ids = net.getAllNodeIds();
        int either = java.util.Arrays.asList(ids).indexOf("TbOrCa");
        int lung = java.util.Arrays.asList(ids).indexOf("LungCancer");
        java.util.Arrays.fill(records[22], -1);
        records[22][lung] = 0; // present
        records[22][either] = 1; // no
        QELTAException e = assertThrows(QELTAException.class,
                () -> new DistributedEM(new EM()).setFixedNodes("TbOrCa").learn(text, TestData.frame(net, records, 3)));
        assertEquals(-42, e.getErrorCode());
        assertTrue(e.getMessage().contains("record 23"), e.getMessage());
        // The same record fails EM.learn with the same status.
        QELTAException one = assertThrows(QELTAException.class, () -> oneMachine(text, records, new EM(), new String[] {"TbOrCa"}));
        assertEquals(-42, one.getErrorCode());

        Network noisy = TestData.read(text);
        noisy.setNodeType("Dyspnea", 146); // noisy-MAX
        String noisyText = noisy.writeString();
        records[22] = records[0];
        e = assertThrows(QELTAException.class, () -> new DistributedEM(new EM()).setFixedNodes("TbOrCa")
                .learn(noisyText, TestData.frame(noisy, records, 1)));
        assertTrue(e.getMessage().contains("'Dyspnea'"), e.getMessage());
        // A dynamic network is refused by its plate node, also before a slice's column, which names
        // no node.
        Network dynamic = TestData.read(text);
        dynamic.setNodeTemporalType("XRay", qelta.TemporalType.PLATE);
        String dynamicText = dynamic.writeString();
        Dataset<Row> plain = TestData.frame(dynamic, records, 1);
        for (Dataset<Row> frame : java.util.List.of(plain,
                plain.withColumn("XRay_1", org.apache.spark.sql.functions.lit("yes")))) {
            e = assertThrows(QELTAException.class,
                    () -> new DistributedEM(new EM()).setFixedNodes("TbOrCa").learn(dynamicText, frame));
            assertTrue(e.getMessage().contains(
                    "EM: node 'XRay' is in a dynamic network, which distributed EM does not learn"), e.getMessage());
        }
        // What EM.learn refuses, refused with its status and message: a learnable deterministic node.
        records[22] = records[0];
        int refused = assertThrows(QELTAException.class, () -> oneMachine(text, records, new EM(), null)).getErrorCode();
        e = assertThrows(QELTAException.class,
                () -> new DistributedEM(new EM()).learn(text, TestData.frame(net, records, 1)));
        assertEquals(refused, e.getErrorCode());
        assertTrue(e.getMessage().contains("EM: non-fixed deterministic"), e.getMessage());
    }

    @Test
    void emptyStringsAreMissingAndARefusedObservationIsSkipped() throws Exception {
        String text = TestData.asia();
        Network net = TestData.read(text);
        int[][] records = TestData.sample(net, 400, 8L, 0.2);
        // Every null of the outcome-name columns written as "" instead.
        assertSameAsOneMachine(text, records, frame -> frame.na().fill(""), em -> em.setUniformizeParameters(true),
                "TbOrCa");
        // With relevance reasoning, TbOrCa = no in a record of cancer contradicts the fixed OR that
        // LungCancer = present implies: the engine refuses it, and the record goes on without it.
        String[] ids = net.getAllNodeIds();
        records[22][java.util.Arrays.asList(ids).indexOf("LungCancer")] = 0;
        records[22][java.util.Arrays.asList(ids).indexOf("TbOrCa")] = 1;
        Consumer<EM> relevance = em -> {
            em.setUniformizeParameters(true);
            em.setRelevance(true);
        };
        DistributedEM.Result refused = assertSameAsOneMachine(text, records, relevance, "TbOrCa");
        try (NativeEm session = new NativeEm(text, ids, new String[] {"TbOrCa"}, new EmOptions(options(relevance)))) {
            session.setParameters(session.start());
            assertArrayEquals(new String[] {"EM: can't set evidence in record 23 for node TbOrCa"},
                    session.addRecords(records[22], 1, ids.length, 22));
        }
        records[22][java.util.Arrays.asList(ids).indexOf("TbOrCa")] = -1;
        DistributedEM.Result unobserved = assertSameAsOneMachine(text, records, relevance, "TbOrCa");
        for (String id : ids) {
            assertArrayEquals(unobserved.network().getNodeDefinition(id), refused.network().getNodeDefinition(id), id);
        }
        assertEquals(unobserved.score(), refused.score());
    }

    @Test
    void recordsWhoseProbabilityLiesBelowTheDoublesAreLearnedAsByEmLearn() {
        // 400 roots observed at their 0.1 outcome: P(e) about 1e-400 a record, C missing in half.
        Network net = new Network();
        for (int i = 0; i < 400; ++i) net.setNodeDefinition(net.addNode(qelta.NodeType.CPT, "R" + i), new double[] {0.1, 0.9});
        net.addNode(qelta.NodeType.CPT, "C");
        net.addArc("R0", "C");
        net.setNodeDefinition("C", new double[] {0.3, 0.7, 0.6, 0.4});
        int[][] records = new int[50][401];
        for (int r = 0; r < records.length; ++r) records[r][400] = r % 2 == 0 ? -1 : r % 4 == 1 ? 0 : 1;
        DistributedEM.Result got = assertSameAsOneMachine(net.writeString(), records, em -> {
            em.setRandomizeParameters(false);
            em.setEqSampleSize(3);
        });
        assertEquals((3 * 0.1 + 50) / 53, got.network().getNodeDefinition("R7")[0], 1e-12);
    }

    @Test
    void theNativeSessionRefusesRecordsThatDoNotFitItsColumns() throws Exception {
        String text = TestData.asia();
        String[] ids = TestData.read(text).getAllNodeIds();
        try (NativeEm session = new NativeEm(text, ids, new String[] {"TbOrCa"}, new EmOptions(new EM()))) {
            session.setParameters(session.start());
            int[] record = new int[ids.length];
            String tooFew = assertThrows(QELTAException.class,
                    () -> session.addRecords(record, 1, ids.length - 1, 0)).getMessage();
            assertTrue(tooFew.contains("wrong number of columns"), tooFew);
            assertThrows(QELTAException.class, () -> session.addRecords(record, 2, ids.length, 0));
            record[2] = 2; // asia's nodes have two outcomes
            assertThrows(QELTAException.class, () -> session.addRecords(record, 1, ids.length, 0));
            record[2] = -1;
            assertEquals(0, session.addRecords(record, 1, ids.length, 0).length);
            // Counting takes no missing value.
            assertThrows(QELTAException.class, () -> session.countRecords(record, 1, ids.length));
            assertThrows(QELTAException.class, () -> session.setParameters(new double[3]));
        }
    }
}
