package qelta.spark;

import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.SparkSession;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructField;
import qelta.Network;
import qelta.learning.DataSet;

/** Networks, records drawn from their own tables, and the two forms the learners take them in. */
final class TestData {
    private static SparkSession spark;

    private TestData() {}

    /** One local Spark of two threads for every test class of the run. */
    static synchronized SparkSession spark() {
        if (spark == null) {
            spark = SparkSession.builder()
                    .master("local[2]")
                    .appName("qelta-spark-tests")
                    .config("spark.ui.enabled", "false")
                    .config("spark.sql.shuffle.partitions", "4")
                    .getOrCreate();
            spark.sparkContext().setLogLevel("ERROR");
        }
        return spark;
    }

    /** The text of a benchmark network of the shared data; the test is skipped without it. */
    static String shared(String name) {
        String shared = System.getProperty("qelta.shared");
        assumeTrue(shared != null, "qelta.shared not set; no benchmark networks");
        Path file = Path.of(shared, "data", "networks", "net", name + ".net");
        assumeTrue(Files.exists(file), "no " + file);
        Network net = new Network();
        net.readFile(file.toString());
        return net.writeString();
    }

    /** The text of the project's own asia example. */
    static String asia() throws Exception {
        Path file = Path.of(System.getProperty("user.dir"), "..", "examples", "data", "asia.xvrn");
        Network net = new Network();
        net.readFile(file.toString());
        return net.writeString();
    }

    static Network read(String text) {
        Network net = new Network();
        net.readString(text);
        return net;
    }

    /**
     * n records drawn from the network's own tables (ancestors first), each cell then hidden (-1)
     * with probability missing; columns in the order of getAllNodeIds.
     */
    static int[][] sample(Network net, int n, long seed, double missing) {
        String[] ids = net.getAllNodeIds();
        int[] handles = new int[ids.length];
        for (int i = 0; i < ids.length; ++i) handles[i] = net.getNode(ids[i]);
        int[] column = new int[maxHandle(handles) + 1];
        for (int i = 0; i < ids.length; ++i) column[handles[i]] = i;
        List<Integer> order = new ArrayList<>();
        boolean[] placed = new boolean[ids.length];
        while (order.size() < ids.length) {
            for (int i = 0; i < ids.length; ++i) {
                if (placed[i]) continue;
                boolean ready = true;
                for (int p : net.getParents(handles[i])) ready &= placed[column[p]];
                if (ready) {
                    placed[i] = true;
                    order.add(i);
                }
            }
        }
        Random random = new Random(seed);
        int[][] records = new int[n][ids.length];
        double[][] tables = new double[ids.length][];
        for (int i = 0; i < ids.length; ++i) tables[i] = net.getNodeDefinition(handles[i]);
        for (int[] record : records) {
            for (int i : order) {
                int[] parents = net.getParents(handles[i]);
                int row = 0;
                for (int p : parents) row = row * net.getOutcomeCount(p) + record[column[p]];
                int r = net.getOutcomeCount(handles[i]);
                double u = random.nextDouble();
                int k = 0;
                for (double acc = tables[i][row * r]; acc < u && k < r - 1; acc += tables[i][row * r + ++k]) {}
                record[i] = k;
            }
        }
        for (int[] record : records) {
            for (int i = 0; i < ids.length; ++i) {
                if (random.nextDouble() < missing) record[i] = -1;
            }
        }
        return records;
    }

    private static int maxHandle(int[] handles) {
        int max = 0;
        for (int h : handles) max = Math.max(max, h);
        return max;
    }

    /** The records as a data set whose states are the nodes' outcomes, for EM.learn. */
    static DataSet dataSet(Network net, int[][] records) {
        String[] ids = net.getAllNodeIds();
        DataSet data = new DataSet();
        for (int i = 0; i < ids.length; ++i) {
            data.addIntVariable(ids[i], -1);
            data.setStateNames(i, net.getOutcomeIds(ids[i]));
        }
        for (int r = 0; r < records.length; ++r) {
            data.addEmptyRecord();
            for (int i = 0; i < ids.length; ++i) {
                if (records[r][i] < 0) {
                    data.setMissing(i, r);
                } else {
                    data.setInt(i, r, records[r][i]);
                }
            }
        }
        return data;
    }

    /**
     * The records as a Spark table in their order over the given partitions: columns alternate
     * between outcome names and outcome indices, null for missing.
     */
    static Dataset<Row> frame(Network net, int[][] records, int partitions) {
        String[] ids = net.getAllNodeIds();
        List<StructField> fields = new ArrayList<>();
        for (int i = 0; i < ids.length; ++i) {
            fields.add(DataTypes.createStructField(ids[i], i % 2 == 0 ? DataTypes.StringType : DataTypes.IntegerType, true));
        }
        String[][] outcomes = new String[ids.length][];
        for (int i = 0; i < ids.length; ++i) outcomes[i] = net.getOutcomeIds(ids[i]);
        List<Row> rows = new ArrayList<>();
        for (int[] record : records) {
            Object[] cells = new Object[ids.length];
            for (int i = 0; i < ids.length; ++i) {
                if (record[i] >= 0) cells[i] = i % 2 == 0 ? outcomes[i][record[i]] : (Object) record[i];
            }
            rows.add(RowFactory.create(cells));
        }
        Dataset<Row> one = spark().createDataFrame(rows, DataTypes.createStructType(fields)).coalesce(1);
        if (partitions == 1) return one;
        // Runs of records in order: partition k holds the k-th run.
        return one.repartitionByRange(partitions, org.apache.spark.sql.functions.monotonically_increasing_id());
    }
}
