package qelta.spark;

import java.util.ArrayList;
import java.util.Collections;
import java.util.Iterator;
import java.util.List;
import org.apache.spark.api.java.JavaRDD;
import org.apache.spark.api.java.JavaSparkContext;
import org.apache.spark.broadcast.Broadcast;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.storage.StorageLevel;
import org.slf4j.Logger;
import org.slf4j.LoggerFactory;
import qelta.Network;
import qelta.QELTAException;
import qelta.learning.EM;
import scala.Tuple2;
import scala.Tuple3;

/**
 * EM parameter learning over a Spark table: the passes of {@link EM#learn} with each partition's
 * records counted by one network on a worker and Spark summing the counts.
 *
 * <p>The columns of the table are matched to nodes by name, every column to a node: a string cell
 * names an outcome of its node (a whole number written as text is an outcome index), an integer
 * cell is an outcome index, null and the empty string are a missing value. A column that names no node, a type that is
 * neither, or a value that names no outcome is refused before any pass with a {@link
 * QELTAException} naming the column and the record (counted from 1 in the table's order).
 *
 * <p>Each pass the driver broadcasts the current tables; every partition reads the network text
 * once, sets each record's evidence as {@code EM.learn} does (a value the engine refuses, such as
 * one that contradicts a fixed deterministic node under relevance reasoning, is skipped and
 * logged, the record goes on), adds the record's ln P(e) and its expected family
 * counts into one array, and Spark sums the arrays. The driver then tests convergence on the
 * summed log-likelihood and maximises, through the engine's own steps. When {@code EM.learn}
 * would count instead of iterating (no fixed node, every node a CPT matched by a column, no
 * missing cell), so does this learner.
 *
 * <p>With one partition the records are summed in {@code EM.learn}'s order and the learned
 * tables, the score and the number of passes equal {@code EM.learn}'s on the same records and
 * start bit for bit. With more partitions the sums run in another order: counts and
 * log-likelihood differ by roundings, and a pass whose likelihood ratio lies at the stopping
 * threshold may end one run a pass apart.
 *
 * <p>Refused before any pass, naming the node: noisy-MAX nodes, noisy adders (even fixed),
 * equation nodes and dynamic networks; {@code EM.learn} on one machine learns the first and last
 * of these.
 */
public final class DistributedEM {
    private static final Logger LOG = LoggerFactory.getLogger(DistributedEM.class);

    private final EmOptions options;
    private String[] fixedNodes = new String[0];
    private final double tolerance;
    private final int maxPasses;

    /**
     * A learner with the options of em (equivalent sample size, randomize or uniformize and seed,
     * relevance, tolerance and cap on the passes), read now. A seed of 0 draws the start from the
     * clock: such a run cannot be repeated.
     */
    public DistributedEM(EM em) {
        options = new EmOptions(em);
        tolerance = em.getTolerance();
        // The driver takes 0 for no cap of the caller's.
        maxPasses = em.getMaxPasses() == Integer.MAX_VALUE ? 0 : em.getMaxPasses();
    }

    /** The nodes whose tables stay as they are; none by default. */
    public DistributedEM setFixedNodes(String... ids) {
        fixedNodes = ids == null ? new String[0] : ids.clone();
        return this;
    }

    /** What a run answers: the learned network, its text, the score and the passes run. */
    public static final class Result {
        private final Network network;
        private final double score;
        private final int passes;
        private final double[] passLikelihoods;

        Result(Network network, double score, int passes, double[] passLikelihoods) {
            this.network = network;
            this.score = score;
            this.passes = passes;
            this.passLikelihoods = passLikelihoods;
        }

        /** The network read from the learner's text with the learned tables. */
        public Network network() {
            return network;
        }

        /** The learned network as {@link Network#writeString} writes it. */
        public String networkText() {
            return network.writeString();
        }

        /** The log-likelihood of the data, as {@link EM#getLastScore} gives it. */
        public double score() {
            return score;
        }

        /** The passes EM ran; 0 when the complete data were counted instead. */
        public int passes() {
            return passes;
        }

        /**
         * The summed log-likelihood of each pass, in order (empty when the data were counted): the
         * numbers the stopping rule compared.
         */
        public double[] passLikelihoods() {
            return passLikelihoods.clone();
        }
    }

    /**
     * Learns the tables of the network written in networkText from data.
     *
     * @throws QELTAException for a malformed network, a refused node kind or column, a value that
     *     names no outcome, data in which no record holds a value (no record, or only blank ones:
     *     status -2, "EM: no record of the data holds a value for a matched node (<i>n</i>
     *     records): nothing to learn from"), or a record whose probability is zero (status -42,
     *     naming the record); nothing half-learned is answered
     */
    public Result learn(String networkText, Dataset<Row> data) {
        if (networkText == null || data == null) {
            throw new IllegalArgumentException("Network text and data can't be null");
        }
        String[] columns = data.schema().fieldNames();
        Cells cells;
        try (Network check = new Network()) {
            check.readString(networkText);
            Cells.refuseDynamic(columns, check);
            cells = new Cells(data.schema(), columns, check);
        }
        JavaSparkContext spark = JavaSparkContext.fromSparkContext(data.sparkSession().sparkContext());
        try (NativeEm driver = new NativeEm(networkText, columns, fixedNodes, options)) {
            JavaRDD<RecordBlock> blocks = data.javaRDD().zipWithIndex()
                    .mapPartitions((Iterator<Tuple2<Row, Long>> rows) -> RecordBlock.read(rows, cells))
                    .persist(StorageLevel.MEMORY_ONLY());
            try {
                Tuple3<Long, Boolean, Boolean> shape = unwrapped(() -> blocks
                        .map(b -> new Tuple3<>((long) b.rows, b.complete, b.anyValue))
                        .fold(new Tuple3<>(0L, true, false), (a, b) -> new Tuple3<>(a._1() + b._1(),
                                a._2() && b._2(), a._3() || b._3())));
                long records = shape._1();
                if (!shape._3()) {
                    // Nothing to learn from: a run would answer its start as learned.
                    throw new QELTAException("EM: no record of the data holds a value for a matched node ("
                            + records + " records): nothing to learn from", Cells.BAD_COLUMN);
                }
                Broadcast<String> text = spark.broadcast(networkText);
                Worker worker = new Worker(text, columns, fixedNodes, options);
                double[] likelihoods = new double[0];
                if (driver.canCount() && shape._2()) {
                    count(spark, driver, blocks, worker, records);
                } else {
                    likelihoods = iterate(spark, driver, blocks, worker, records);
                }
                text.destroy();
                Network result = new Network();
                result.readString(networkText);
                driver.apply(result);
                return new Result(result, driver.score(), driver.passes(), likelihoods);
            } finally {
                blocks.unpersist(false);
            }
        }
    }

    /** Runs the passes; answers each pass's summed log-likelihood. */
    private double[] iterate(JavaSparkContext spark, NativeEm driver, JavaRDD<RecordBlock> blocks,
            Worker worker, long records) {
        List<Double> likelihoods = new ArrayList<>();
        double[] parameters = driver.start();
        double threshold = 1.0 + tolerance;
        int size = driver.countSize();
        while (true) {
            Broadcast<double[]> current = spark.broadcast(parameters);
            double[] summed = records == 0 ? new double[size]
                    : unwrapped(() -> blocks.mapPartitions(b -> worker.expect(current, b))
                            .treeReduce(DistributedEM::add));
            current.destroy();
            likelihoods.add(summed[size - 1]);
            boolean converged = driver.endPass(summed, records, threshold, maxPasses);
            if (converged) return likelihoods.stream().mapToDouble(Double::doubleValue).toArray();
            parameters = driver.parameters();
        }
    }

    private static void count(JavaSparkContext spark, NativeEm driver, JavaRDD<RecordBlock> blocks,
            Worker worker, long records) {
        double[] summed = records == 0 ? new double[driver.countSize()]
                : unwrapped(() -> blocks.mapPartitions(worker::count).treeReduce(DistributedEM::add));
        Broadcast<double[]> tables = spark.broadcast(driver.finishCounting(summed));
        double score = records == 0 ? 0.0
                : unwrapped(() -> blocks.mapPartitions(b -> worker.score(tables, b)).treeReduce(Double::sum));
        tables.destroy();
        driver.setScore(score);
    }

    /** a + b, into a. */
    private static double[] add(double[] a, double[] b) {
        for (int k = 0; k < a.length; ++k) a[k] += b[k];
        return a;
    }

    /** The work of one partition; every call opens its own network. */
    private static final class Worker implements java.io.Serializable {
        private static final long serialVersionUID = 1L;

        private final Broadcast<String> text;
        private final String[] columns;
        private final String[] fixed;
        private final EmOptions options;

        Worker(Broadcast<String> text, String[] columns, String[] fixed, EmOptions options) {
            this.text = text;
            this.columns = columns;
            this.fixed = fixed;
            this.options = options;
        }

        private NativeEm open() {
            return new NativeEm(text.value(), columns, fixed, options);
        }

        Iterator<double[]> expect(Broadcast<double[]> parameters, Iterator<RecordBlock> blocks) {
            if (!blocks.hasNext()) return Collections.emptyIterator();
            try (NativeEm session = open()) {
                session.setParameters(parameters.value());
                while (blocks.hasNext()) {
                    RecordBlock b = blocks.next();
                    for (String refused : session.addRecords(b.values, b.rows, columns.length, b.first)) {
                        LOG.warn(refused);
                    }
                }
                return Collections.singletonList(session.takeCounts()).iterator();
            }
        }

        Iterator<double[]> count(Iterator<RecordBlock> blocks) {
            if (!blocks.hasNext()) return Collections.emptyIterator();
            try (NativeEm session = open()) {
                while (blocks.hasNext()) {
                    RecordBlock b = blocks.next();
                    session.countRecords(b.values, b.rows, columns.length);
                }
                return Collections.singletonList(session.takeCounts()).iterator();
            }
        }

        Iterator<Double> score(Broadcast<double[]> tables, Iterator<RecordBlock> blocks) {
            if (!blocks.hasNext()) return Collections.emptyIterator();
            try (NativeEm session = open()) {
                session.setParameters(tables.value());
                double total = 0.0;
                while (blocks.hasNext()) {
                    RecordBlock b = blocks.next();
                    total = session.scoreRecords(b.values, b.rows, columns.length, total);
                }
                return Collections.singletonList(total).iterator();
            }
        }
    }

    /**
     * Runs a Spark action; a failure of this library on a worker is raised as itself rather than
     * wrapped in Spark's job failure.
     */
    static <T> T unwrapped(java.util.function.Supplier<T> action) {
        try {
            return action.get();
        } catch (Exception e) {
            List<Throwable> seen = new ArrayList<>();
            for (Throwable t = e; t != null && !seen.contains(t); t = t.getCause()) {
                seen.add(t);
                if (t instanceof QELTAException q) throw q;
            }
            throw e;
        }
    }
}
