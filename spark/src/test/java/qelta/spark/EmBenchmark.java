package qelta.spark;

import java.lang.management.ManagementFactory;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Iterator;
import java.util.List;
import java.util.concurrent.atomic.AtomicLong;
import org.apache.spark.api.java.JavaRDD;
import org.apache.spark.api.java.JavaSparkContext;
import org.apache.spark.scheduler.SparkListener;
import org.apache.spark.scheduler.SparkListenerTaskEnd;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.SparkSession;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructField;
import org.apache.spark.sql.types.StructType;
import qelta.Network;
import qelta.learning.DataSet;
import qelta.learning.EM;

/**
 * Distributed EM against EM.learn on records drawn from a network's own tables, 20% of cells
 * missing, uniform start. Arguments: network file, records, repetitions, then Spark masters
 * (default local[1] local[2] local[4]). Prints one line per run and a median table.
 */
public final class EmBenchmark {
    private static final int CHUNK = 50_000;

    private EmBenchmark() {}

    public static void main(String[] args) throws Exception {
        String file = args[0];
        int records = Integer.parseInt(args[1]);
        int repeats = Integer.parseInt(args[2]);
        List<String> masters = args.length > 3 ? Arrays.asList(args).subList(3, args.length)
                : List.of("local[1]", "local[2]", "local[4]");
        Network source = new Network();
        source.readFile(file);
        String text = source.writeString();
        System.out.printf("cores %d, records %d, nodes %d%n", Runtime.getRuntime().availableProcessors(),
                records, source.getAllNodeIds().length);

        compareEntryPoints(text, Math.min(records, 5000));
        List<String> lines = new ArrayList<>();
        int runPasses = -1;
        for (String master : masters) {
            SparkSession spark = SparkSession.builder().master(master).appName("qelta-em-benchmark")
                    .config("spark.ui.enabled", "false").getOrCreate();
            spark.sparkContext().setLogLevel("ERROR");
            AtomicLong cpu = new AtomicLong();
            spark.sparkContext().addSparkListener(new SparkListener() {
                @Override
                public void onTaskEnd(SparkListenerTaskEnd end) {
                    if (end.taskMetrics() != null) cpu.addAndGet(end.taskMetrics().executorCpuTime());
                }
            });
            int cores = Integer.parseInt(master.replaceAll("\\D", ""));
            Dataset<Row> frame = frame(spark, text, records, cores).cache();
            frame.count();
            double[] seconds = new double[repeats];
            double[] cpuPerRecord = new double[repeats];
            for (int k = 0; k < repeats; ++k) {
                cpu.set(0);
                long start = System.nanoTime();
                DistributedEM.Result result = new DistributedEM(uniform()).learn(text, frame);
                seconds[k] = (System.nanoTime() - start) / 1e9;
                runPasses = result.passes();
                cpuPerRecord[k] = cpu.get() / 1e3 / ((double) records * (runPasses + 1));
                System.out.printf("%s run %d: %.1f s, %d passes, score %.6f, task CPU %.1f us/record, load %.2f%n",
                        master, k + 1, seconds[k], runPasses, result.score(), cpuPerRecord[k], load());
            }
            lines.add(row("Spark " + master, median(seconds), runPasses, records, median(cpuPerRecord)));
            frame.unpersist();
            spark.stop();
        }
        double[] oneMachine = new double[repeats];
        for (int k = 0; k < repeats; ++k) {
            Network net = TestData.read(text);
            DataSet data = dataSet(net, records);
            EM em = uniform();
            long start = System.nanoTime();
            em.learn(data, net, data.matchNetwork(net), (String[]) null);
            oneMachine[k] = (System.nanoTime() - start) / 1e9;
            System.out.printf("EM.learn run %d: %.1f s, %d passes, score %.6f, load %.2f%n", k + 1,
                    oneMachine[k], em.getPassCount(), em.getLastScore(), load());
            data.close();
        }

        // EM.learn runs the passes a one-partition run does (the tests show it bit for bit).
        lines.add(0, row("EM.learn (one JVM)", median(oneMachine), runPasses, records, Double.NaN));
        System.out.println();
        System.out.println("| run | whole run (s) | passes | records/s per pass | task CPU per record-pass (us) |");
        System.out.println("| --- | ---: | ---: | ---: | ---: |");
        lines.forEach(System.out::println);
    }

    /**
     * One expectation pass over n records through the network's distributedHelperEM (evidence set
     * cell by cell from Java, P(e) asked apart, the counts summed in Java) against the session's
     * one call per block.
     */
    private static void compareEntryPoints(String text, int n) {
        Network net = TestData.read(text);
        int[][] records = chunk(net, 0, n);
        String[] ids = net.getAllNodeIds();
        int[] handles = new int[ids.length];
        for (int i = 0; i < ids.length; ++i) handles[i] = net.getNode(ids[i]);
        int size = 0;
        for (int h : handles) size += net.getNodeDefinition(h).length;
        double[] sum = new double[size + 1];
        double[] counts = new double[size];
        for (int round = 0; round < 2; ++round) { // the first warms up
            long start = System.nanoTime();
            for (int[] record : records) {
                net.clearAllEvidence();
                for (int i = 0; i < ids.length; ++i) {
                    if (record[i] >= 0) net.setEvidence(handles[i], record[i]);
                }
                sum[size] += Math.log(net.probEvidence());
                net.distributedHelperEM(counts);
                for (int k = 0; k < size; ++k) sum[k] += counts[k];
            }
            double helper = (System.nanoTime() - start) / 1e3 / n;
            int[] flat = new int[n * ids.length];
            for (int r = 0; r < n; ++r) System.arraycopy(records[r], 0, flat, r * ids.length, ids.length);
            EM options = uniform();
            start = System.nanoTime();
            try (NativeEm session = new NativeEm(text, ids, new String[0], new EmOptions(options))) {
                session.setParameters(session.start());
                session.addRecords(flat, n, ids.length, 0);
                session.takeCounts();
            }
            double native_ = (System.nanoTime() - start) / 1e3 / n;
            if (round == 1) {
                System.out.printf("one expectation pass per record: distributedHelperEM path %.1f us,"
                        + " session %.1f us, load %.2f%n", helper, native_, load());
            }
        }
    }

    private static EM uniform() {
        EM em = new EM();
        em.setUniformizeParameters(true);
        return em;
    }

    private static String row(String name, double seconds, int passes, int records, double cpu) {
        return String.format("| %s | %.1f | %s | %s | %s |", name, seconds, passes < 0 ? "" : passes,
                passes <= 0 ? "" : String.format("%.0f", records * (double) passes / seconds),
                Double.isNaN(cpu) ? "" : String.format("%.1f", cpu));
    }

    private static double median(double[] values) {
        double[] sorted = values.clone();
        Arrays.sort(sorted);
        return sorted[sorted.length / 2];
    }

    private static double load() {
        return ManagementFactory.getOperatingSystemMXBean().getSystemLoadAverage();
    }

    /** Chunk c of the records: drawn with seed c, so that every form of the data holds the same. */
    private static int[][] chunk(Network net, int c, int records) {
        int n = Math.min(CHUNK, records - c * CHUNK);
        return TestData.sample(net, n, 1000L + c, 0.2);
    }

    private static DataSet dataSet(Network net, int records) {
        String[] ids = net.getAllNodeIds();
        DataSet data = new DataSet();
        for (int i = 0; i < ids.length; ++i) {
            data.addIntVariable(ids[i], -1);
            data.setStateNames(i, net.getOutcomeIds(ids[i]));
        }
        int r = 0;
        for (int c = 0; c * CHUNK < records; ++c) {
            for (int[] record : chunk(net, c, records)) {
                data.addEmptyRecord();
                for (int i = 0; i < ids.length; ++i) {
                    if (record[i] < 0) {
                        data.setMissing(i, r);
                    } else {
                        data.setInt(i, r, record[i]);
                    }
                }
                ++r;
            }
        }
        return data;
    }

    /** The records as integer columns, drawn on the workers chunk by chunk, in partitions. */
    private static Dataset<Row> frame(SparkSession spark, String text, int records, int partitions) {
        Network net = TestData.read(text);
        String[] ids = net.getAllNodeIds();
        List<StructField> fields = new ArrayList<>();
        for (String id : ids) fields.add(DataTypes.createStructField(id, DataTypes.IntegerType, true));
        StructType schema = DataTypes.createStructType(fields);
        List<Integer> chunks = new ArrayList<>();
        for (int c = 0; c * CHUNK < records; ++c) chunks.add(c);
        JavaRDD<Row> rows = JavaSparkContext.fromSparkContext(spark.sparkContext())
                .parallelize(chunks, partitions)
                .mapPartitions((Iterator<Integer> part) -> {
                    Network local = TestData.read(text);
                    List<Row> out = new ArrayList<>();
                    while (part.hasNext()) {
                        for (int[] record : chunk(local, part.next(), records)) {
                            Object[] cells = new Object[record.length];
                            for (int i = 0; i < record.length; ++i) cells[i] = record[i] < 0 ? null : record[i];
                            out.add(RowFactory.create(cells));
                        }
                    }
                    local.close();
                    return out.iterator();
                });
        return spark.createDataFrame(rows, schema);
    }
}
