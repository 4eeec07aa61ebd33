package qelta.learning;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static qelta.learning.DataSetTest.engineFails;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.stream.DoubleStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import qelta.Network;
import qelta.QELTAException;

/** The stopping options of EM, through learn and through the validator's relearning. */
class EmOptionsTest {
    /** Records over A -> B, A -> C; -1 is missing. */
    private static final int[][] ROWS = {
        {0, 0, 0}, {0, 0, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, 0, 0}, {1, 1, 0}, {0, -1, 0}, {1, 1, -1},
    };

    private static Network network() {
        Network net = new Network();
        for (String id : new String[] {"A", "B", "C"}) {
            net.addNode(18, id);
        }
        net.addArc("A", "B");
        net.addArc("A", "C");
        return net;
    }

    /** The rows, all but the skipped one (-1: none), with state names equal to the outcomes. */
    private static DataSet data(int skipped) {
        DataSet data = new DataSet();
        for (String id : new String[] {"A", "B", "C"}) {
            data.addIntVariable(id, -1);
            data.setStateNames(data.getVariableCount() - 1, new String[] {"State0", "State1"});
        }
        int r = 0;
        for (int row = 0; row < ROWS.length; ++row) {
            if (row == skipped) {
                continue;
            }
            data.addEmptyRecord();
            for (int v = 0; v < 3; ++v) {
                if (ROWS[row][v] >= 0) {
                    data.setInt(v, r, ROWS[row][v]);
                }
            }
            ++r;
        }
        return data;
    }

    private static EM uniformEm() {
        EM em = new EM();
        em.setUniformizeParameters(true);
        return em;
    }

    /** Learns a new network; answers its tables, A's then B's then C's. */
    private static double[] learn(EM em, DataSet data) {
        try (Network net = network()) {
            em.learn(data, net, data.matchNetwork(net), (String[]) null);
            return tables(net);
        }
    }

    private static double[] tables(Network net) {
        return Stream.of("A", "B", "C").map(net::getNodeDefinition)
                .flatMapToDouble(DoubleStream::of).toArray();
    }

    /** A file of a header only or of blank records teaches nothing: refused, the tables kept. */
    @Test
    void dataWithoutAnyValueAreRefusedAndTheTablesKept(@TempDir Path dir) throws IOException {
        for (String text : new String[] {"A,B,C\n", "A,B,C\n*,*,*\n"}) {
            Path file = Files.writeString(dir.resolve("blank.txt"), text);
            for (boolean uniform : new boolean[] {false, true}) {
                try (DataSet data = new DataSet(); Network net = network(); EM em = new EM()) {
                    data.readFile(file.toString(), null, -1, Float.NaN, true);
                    assertEquals(text.split("\n").length - 1, data.getRecordCount());
                    em.setUniformizeParameters(uniform);
                    net.setNodeDefinition("B", new double[] {0.2, 0.8, 0.6, 0.4});
                    double[] before = tables(net);
                    QELTAException e = assertThrows(QELTAException.class,
                            () -> em.learn(data, net, data.matchNetwork(net), (String[]) null));
                    assertEquals(-2, e.getErrorCode());
                    assertTrue(e.getMessage().contains("EM: no record of the data holds a value for a matched node ("
                            + data.getRecordCount() + " records)"), e.getMessage());
                    assertArrayEquals(before, tables(net));
                }
            }
        }
    }

    @Test
    void refusalsKeepTheOptions() {
        try (EM em = new EM()) {
            assertEquals(1e-4, em.getTolerance());
            assertEquals(Integer.MAX_VALUE, em.getMaxPasses());
            assertEquals(0, em.getPassCount());
            double[] bad = {-1e-300, Double.NaN, Double.POSITIVE_INFINITY};
            for (double tolerance : bad) {
                engineFails("EM tolerance must be finite and not negative: " + tolerance,
                        QELTAException.NO_CODE, () -> em.setTolerance(tolerance));
            }
            for (int cap : new int[] {0, Integer.MIN_VALUE}) {
                engineFails("EM pass cap must be at least 1: " + cap, QELTAException.NO_CODE,
                        () -> em.setMaxPasses(cap));
            }
            assertEquals(1e-4, em.getTolerance());
            assertEquals(Integer.MAX_VALUE, em.getMaxPasses());
            em.setTolerance(0.0);
            em.setMaxPasses(1);
            assertEquals(0.0, em.getTolerance());
            assertEquals(1, em.getMaxPasses());
        }
    }

    /** The tolerance reaches the engine: the default as set changes nothing, a finer runs on. */
    @Test
    void learnStopsWhereTheToleranceSays() {
        try (DataSet data = data(-1); EM em = uniformEm(); EM twin = uniformEm()) {
            double[] byDefault = learn(em, data);
            twin.setTolerance(1e-4);
            assertArrayEquals(byDefault, learn(twin, data));
            assertEquals(em.getPassCount(), twin.getPassCount());
            assertEquals(em.getLastScore(), twin.getLastScore());
            twin.setTolerance(1e-12);
            learn(twin, data);
            assertTrue(twin.getPassCount() > em.getPassCount(), "passes " + twin.getPassCount());
        }
    }

    /**
     * Leave-one-out with a cap of 1 predicts each record with a class value from one pass of EM
     * without it.
     */
    @Test
    void validatorRelearnsWithTheOptions() {
        try (DataSet data = data(-1); Network net = network(); EM em = uniformEm()) {
            em.setMaxPasses(1);
            float[] expected = new float[ROWS.length * 2];
            for (int held = 0; held < ROWS.length; ++held) {
                try (DataSet training = data(held); Network fold = network()) {
                    em.learn(training, fold, training.matchNetwork(fold), (String[]) null);
                    assertEquals(1, em.getPassCount());
                    for (int v = 1; v < 3; ++v) {
                        if (ROWS[held][v] >= 0) {
                            fold.setEvidence(v, ROWS[held][v]);
                        }
                    }
                    fold.updateBeliefs();
                    double[] belief = fold.getNodeValue("A");
                    expected[2 * held] = (float) belief[0];
                    expected[2 * held + 1] = (float) belief[1];
                }
            }
            float[] uncapped = new float[expected.length];
            for (int cap : new int[] {1, Integer.MAX_VALUE}) {
                em.setMaxPasses(cap);
                try (Validator validator = new Validator(net, data, data.matchNetwork(net))) {
                    validator.addClassNode("A");
                    validator.leaveOneOut(em);
                    try (DataSet result = validator.getResultDataSet()) {
                        int first = result.findVariable("A_State0");
                        for (int r = 0; r < ROWS.length; ++r) {
                            for (int k = 0; k < 2; ++k) {
                                float got = result.getFloat(first + k, r);
                                if (ROWS[r][0] < 0) {  // no class value: no prediction
                                    assertTrue(Float.isNaN(got), "record " + r);
                                } else if (cap == 1) {
                                    assertEquals(expected[2 * r + k], got, 1e-6f, "record " + r);
                                } else {
                                    uncapped[2 * r + k] = got;
                                }
                            }
                        }
                    }
                }
            }
            double apart = 0.0;
            for (int i = 0; i < expected.length; ++i) {
                apart = Math.max(apart, Math.abs(expected[i] - uncapped[i]));
            }
            assertTrue(apart > 1e-3, "the cap changed nothing: " + apart);
        }
    }
}
