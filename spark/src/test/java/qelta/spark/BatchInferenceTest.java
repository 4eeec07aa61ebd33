package qelta.spark;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.functions;
import org.apache.spark.sql.types.DataTypes;
import org.junit.jupiter.api.Test;
import qelta.Network;
import qelta.NodeType;
import qelta.QELTAException;

class BatchInferenceTest {

    /** Cases of evidence on a few nodes each: drawn from the tables, or any outcome at all. */
    private static int[][] cases(Network net, int n, long seed) {
        int[][] drawn = TestData.sample(net, n, seed, 0.85);
        Random random = new Random(seed + 1);
        for (int[] c : drawn) {
            if (random.nextInt(4) != 0) continue;
            int i = random.nextInt(c.length);
            c[i] = random.nextInt(net.getOutcomeCount(net.getAllNodeIds()[i]));
        }
        return drawn;
    }

    /** The driver's one network: posteriors of targets then P(e), or null for impossible evidence. */
    private static double[] oracle(Network net, String[] ids, int[] c, String[] targets) {
        net.clearAllEvidence();
        try {
            for (int i = 0; i < ids.length; ++i) {
                if (c[i] >= 0) net.setEvidence(ids[i], c[i]);
            }
            net.updateBeliefs();
        } catch (QELTAException e) {
            return null;
        }
        List<Double> answer = new ArrayList<>();
        for (String t : targets) {
            for (double p : net.getNodeValue(t)) answer.add(p);
        }
        answer.add(net.probEvidence());
        return answer.stream().mapToDouble(Double::doubleValue).toArray();
    }

    @Test
    void alarmCasesGetTheDriverNetworksAnswersAndImpossibleOnesAreMarked() {
        String text = TestData.shared("alarm");
        Network net = TestData.read(text);
        String[] ids = net.getAllNodeIds();
        String[] targets = {"HYPOVOLEMIA", "LVFAILURE", "ERRLOWOUTPUT"};
        int[][] cases = cases(net, 10_000, 424242L);
        Dataset<Row> frame = TestData.frame(net, cases, 3);
        List<Row> rows = new BatchInference(text, targets).apply(frame).collectAsList();
        assertEquals(cases.length, rows.size());
        assertEquals(3, frame.javaRDD().getNumPartitions());
        int impossible = 0;
        for (int r = 0; r < cases.length; ++r) {
            Row row = rows.get(r);
            double[] want = oracle(net, ids, cases[r], targets);
            if (want == null) {
                ++impossible;
                assertNotNull(row.getAs(BatchInference.PROBLEM), "record " + (r + 1));
                assertTrue(row.isNullAt(ids.length) && row.isNullAt(row.length() - 2));
                continue;
            }
            assertNull(row.getAs(BatchInference.PROBLEM), "record " + (r + 1));
            for (int k = 0; k < want.length; ++k) {
                assertEquals(want[k], row.getDouble(ids.length + k), 1e-12, "record " + (r + 1) + " answer " + k);
            }
        }
        System.out.println("impossible alarm cases: " + impossible + " of " + cases.length);
        int outcomes = 0;
        for (String t : targets) outcomes += net.getOutcomeCount(t);
        assertEquals(ids.length + outcomes + 2, rows.get(0).length());
    }

    /**
     * n0 an anchor outside the plate (when outside), n1 in it with n1 -> n1 of order 1, n2 its child in the
     * plate; three slices.
     */
    private static Network dynamic(boolean outside) {
        Network net = new Network();
        Random random = new Random(outside ? 3 : 4);
        for (String id : outside ? new String[] {"n0", "n1", "n2"} : new String[] {"n1", "n2"}) {
            net.setOutcomes(net.addNode(18, id), new String[] {"a", "b", "c"}, new int[] {-1, -1, -1});
        }
        if (outside) net.setNodeTemporalType("n0", qelta.TemporalType.ANCHOR);
        net.setNodeTemporalType("n1", qelta.TemporalType.PLATE);
        net.setNodeTemporalType("n2", qelta.TemporalType.PLATE);
        if (outside) net.addArc("n0", "n1");
        net.addArc("n1", "n2");
        net.addTemporalArc("n1", "n1", 1);
        for (String id : net.getAllNodeIds()) net.setNodeDefinition(id, rows(random, net.getNodeDefinition(id).length));
        net.setNodeTemporalDefinition("n1", 1, rows(random, net.getNodeTemporalDefinition("n1", 1).length));
        net.setSliceCount(3);
        return net;
    }

    /** Random rows of three probabilities. */
    private static double[] rows(Random random, int length) {
        double[] p = new double[length];
        for (int k = 0; k < length; k += 3) {
            double a = random.nextDouble() + 0.05, b = random.nextDouble() + 0.05, c = random.nextDouble() + 0.05;
            p[k] = a / (a + b + c);
            p[k + 1] = b / (a + b + c);
            p[k + 2] = 1.0 - p[k] - p[k + 1];
        }
        return p;
    }

    @Test
    void aPlateNodesTargetIsAnsweredSliceBySliceAsTheUnrolledNetworkAnswers() {
        for (boolean outside : new boolean[] {false, true}) {
            Network net = dynamic(outside);
            String text = net.writeString();
            String[] ids = net.getAllNodeIds();
            String[] targets = outside ? new String[] {"n1", "n0", "n2"} : new String[] {"n1"};
            int[][] cases = TestData.sample(TestData.read(text), 60, outside ? 5 : 6, 0.4);
            // Oracle: the unrolled network, with the evidence of a plate node on its slice-0 copy.
            qelta.UnrollResults unrolled = net.unroll();
            Network flat = unrolled.unrolled();
            int plates = unrolled.unrollMap().length / 3;
            // Node i's copy in a slice: plate nodes follow the anchor n0.
            java.util.function.IntBinaryOperator copy = (i, slice) -> ids[i].equals("n0") ? flat.getNode("n0")
                    : unrolled.unrollMap()[slice * plates + i - (outside ? 1 : 0)];
            for (int partitions : new int[] {1, 2, 7}) {
                Dataset<Row> frame = TestData.frame(net, cases, partitions);
                Dataset<Row> answered = new BatchInference(text, targets).apply(frame);
                List<String> columns = List.of(answered.columns());
                List<Row> rows = answered.collectAsList();
                assertEquals(cases.length, rows.size());
                for (int r = 0; r < cases.length; ++r) {
                    flat.clearAllEvidence();
                    for (int i = 0; i < ids.length; ++i) {
                        if (cases[r][i] >= 0) flat.setEvidence(copy.applyAsInt(i, 0), cases[r][i]);
                    }
                    flat.updateBeliefs();
                    assertNull(rows.get(r).getAs(BatchInference.PROBLEM));
                    for (String t : targets) {
                        int node = List.of(ids).indexOf(t);
                        for (int slice = 0; slice < (t.equals("n0") ? 1 : 3); ++slice) {
                            double[] want = flat.getNodeValue(copy.applyAsInt(node, slice));
                            for (int o = 0; o < 3; ++o) {
                                String column = (slice == 0 ? t : t + "_" + slice) + "=" + "abc".charAt(o);
                                assertEquals(want[o], rows.get(r).getDouble(columns.indexOf(column)), 1e-12,
                                        column + " of record " + (r + 1) + " over " + partitions + " partitions");
                            }
                        }
                    }
                    assertEquals(flat.probEvidence(), rows.get(r).getDouble(columns.indexOf(BatchInference.PROBABILITY)),
                            1e-12);
                }
                assertEquals(ids.length + 3 * (targets.length == 1 ? 3 : 7) + 2, columns.size());
            }
            flat.close();
        }
    }

    @Test
    void badRowsAreMarkedNamingColumnAndRecordAndBadTablesRefused() throws Exception {
        String text = TestData.asia();
        var schema = DataTypes.createStructType(new org.apache.spark.sql.types.StructField[] {
            DataTypes.createStructField("id", DataTypes.StringType, true),
            DataTypes.createStructField("LungCancer", DataTypes.StringType, true),
            DataTypes.createStructField("TbOrCa", DataTypes.IntegerType, true),
            DataTypes.createStructField("XRay", DataTypes.StringType, true),
        });
        List<Row> input = List.of(
                RowFactory.create("a", "present", null, "abnormal"),
                RowFactory.create("b", "present", 1, null), // cancer but neither: impossible
                RowFactory.create("c", "nowhere", null, null),
                RowFactory.create("d", null, 2, null),
                RowFactory.create("e", "0", null, "x1"),
                RowFactory.create("f", null, null, null),
                RowFactory.create("g", "", null, "")); // empty strings are missing, as null
        Dataset<Row> frame = TestData.spark().createDataFrame(input, schema).repartition(2, functions.col("id"));
        List<Row> rows = new BatchInference(text, "Smoking").keep("id").apply(frame).orderBy("id").collectAsList();
        Network net = TestData.read(text);
        assertEquals(7, rows.size());
        for (int k = 4; k < 8; ++k) assertEquals(rows.get(5).get(k), rows.get(6).get(k), "answer " + k);
        net.setEvidence("LungCancer", "present");
        net.setEvidence("XRay", "abnormal");
        net.updateBeliefs();
        assertEquals(net.getNodeValue("Smoking")[0], rows.get(0).getDouble(4), 1e-12);
        assertEquals(net.probEvidence(), rows.get(0).getDouble(6), 1e-12);
        assertTrue(rows.get(1).<String>getAs(BatchInference.PROBLEM).contains("record"), rows.get(1).toString());
        assertTrue(rows.get(1).isNullAt(4) && rows.get(1).isNullAt(6));
        String c = rows.get(2).getAs(BatchInference.PROBLEM);
        assertTrue(c.contains("column 'LungCancer'") && c.contains("'nowhere'") && c.contains("record"), c);
        String d = rows.get(3).getAs(BatchInference.PROBLEM);
        assertTrue(d.contains("column 'TbOrCa'") && d.contains("'2'"), d);
        String e = rows.get(4).getAs(BatchInference.PROBLEM);
        assertTrue(e.contains("column 'XRay'") && e.contains("'x1'"), e);
        // No evidence: the prior, and P(e) = 1, not a rounding of it.
        assertEquals(1.0, rows.get(5).getDouble(6));
        assertNull(rows.get(5).getAs(BatchInference.PROBLEM));

        QELTAException noNode = assertThrows(QELTAException.class,
                () -> new BatchInference(text, "Smoking").apply(frame));
        assertTrue(noNode.getMessage().contains("'id' names no node"), noNode.getMessage());
        assertThrows(QELTAException.class, () -> new BatchInference(text, "Nobody"));
        net.addNode(4, "eq"); // an equation node
        net.setNodeEquation("eq", "eq = Normal(0, 1)");
        String withEquation = net.writeString();
        QELTAException eq = assertThrows(QELTAException.class, () -> new BatchInference(withEquation, "Smoking", "eq"));
        assertTrue(eq.getMessage().startsWith("Target 'eq' is an equation node") && eq.getMessage().contains("outcomes"),
                eq.getMessage());
        net.addNode(17, "act"); // a decision node
        String diagram = net.writeString();
        QELTAException id = assertThrows(QELTAException.class, () -> new BatchInference(diagram, "Smoking"));
        assertTrue(id.getMessage().startsWith("Node 'act' is a decision node"), id.getMessage());
        assertThrows(QELTAException.class, () -> new BatchInference("<net><broken", "Smoking"));
        assertThrows(QELTAException.class, () -> new BatchInference(text, "Smoking").keep("id")
                .apply(frame.withColumn("XRay", functions.lit(1.5))));
    }

    @Test
    void evidenceBelowTheDoublesKeepsItsPosteriorsWithoutAProbability() {
        // A (1e-200, ..) -> B, P(b0 | a0) = 1e-200, C child of both: P(a0, b0) = 1e-400.
        Network net = new Network();
        for (String id : new String[] {"A", "B", "C"}) net.addNode(NodeType.CPT, id);
        net.addArc("A", "B");
        net.addArc("A", "C");
        net.addArc("B", "C");
        net.setNodeDefinition("A", new double[] {1e-200, 1 - 1e-200});
        net.setNodeDefinition("B", new double[] {1e-200, 1 - 1e-200, 0.5, 0.5});
        net.setNodeDefinition("C", new double[] {0.3, 0.7, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
        List<Row> rows = new BatchInference(net.writeString(), "C")
                .apply(TestData.frame(net, new int[][] {{0, 0, -1}, {1, 1, -1}}, 1)).collectAsList();
        assertEquals(0.3, rows.get(0).getDouble(3), 1e-12);
        assertEquals(0.7, rows.get(0).getDouble(4), 1e-12);
        assertTrue(rows.get(0).isNullAt(5));
        String problem = rows.get(0).getAs(BatchInference.PROBLEM);
        assertTrue(problem.contains("record 1") && problem.contains("below the range of double precision"), problem);
        assertEquals((1 - 1e-200) * 0.5, rows.get(1).getDouble(5), 1e-12);
        assertNull(rows.get(1).getAs(BatchInference.PROBLEM));
    }
}
