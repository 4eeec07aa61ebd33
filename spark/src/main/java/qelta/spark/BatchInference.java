package qelta.spark;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashSet;
import java.util.Iterator;
import java.util.List;
import java.util.Set;
import org.apache.spark.api.java.JavaRDD;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructField;
import org.apache.spark.sql.types.StructType;
import qelta.Network;
import qelta.NodeType;
import qelta.QELTAException;
import qelta.TemporalType;
import scala.Tuple2;

/**
 * Posterior beliefs of target nodes for every row of a Spark table of cases, one network per
 * partition reused across its rows.
 *
 * <p>Each evidence column names a node; a string cell names one of its outcomes (a whole number
 * written as text is an outcome index), an integer cell is an outcome index, null and the empty
 * string are no evidence. Evidence on a plate node of a dynamic network is its evidence in slice
 * 0. Columns passed to {@link #keep} are carried along and are no evidence. The answer holds the
 * input's columns and then, per target and outcome, a column {@code "node=outcome"} with the
 * posterior, a column {@value #PROBABILITY} with the probability of the row's evidence and a
 * column {@value #PROBLEM} that is null for a row answered. A plate node's target has such columns
 * for every slice, slice after slice: {@code "node=outcome"} for slice 0, then
 * {@code "node_k=outcome"} for slice k, as data sets name a plate node's slices. A row whose
 * evidence is impossible, or holds a value that names no outcome, gets nulls and in
 * {@value #PROBLEM} the reason (naming the column and record for a bad value); the job goes on. A
 * row whose evidence has a probability that no double holds (positive, yet below the range of
 * double precision numbers) keeps its posteriors, with a null {@value #PROBABILITY} and the reason
 * in {@value #PROBLEM}. A column that names no node, an equation node's target (it has no
 * outcomes), an influence diagram (it has no probability of evidence) and a malformed network are
 * refused before the job with a {@link QELTAException} naming the node.
 */
public final class BatchInference {
    /** The column of the probability of a row's evidence. */
    public static final String PROBABILITY = "evidence_probability";
    /** The column saying why a row got no answer; null for a row answered. */
    public static final String PROBLEM = "evidence_problem";

    private final String networkText;
    private final String[] targets;
    private final Set<String> kept = new HashSet<>();

    /**
     * @param networkText the network, as {@link Network#writeString} writes it
     * @param targets the nodes whose posteriors the answer carries
     * @throws QELTAException for a malformed network, an influence diagram, or a target that names
     *     no node or an equation node, naming it
     */
    public BatchInference(String networkText, String... targets) {
        if (networkText == null || targets == null) {
            throw new IllegalArgumentException("Network text and targets can't be null");
        }
        Network check = new Network();
        check.readString(networkText);
        String[] all = check.getAllNodeIds();
        Set<String> nodes = new HashSet<>(Arrays.asList(all));
        for (String node : all) {
            int type = check.getNodeType(node);
            if (type == NodeType.DECISION || type == NodeType.UTILITY || type == NodeType.MAU) {
                // Every row would fail there: an influence diagram has no probability of evidence.
                throw new QELTAException("Node '" + node + "' is a " + (type == NodeType.DECISION ? "decision"
                        : "utility") + " node: batch inference answers Bayesian and dynamic networks, not"
                        + " influence diagrams, which have no probability of evidence", Cells.BAD_COLUMN);
            }
        }
        for (String target : targets) {
            if (!nodes.contains(target)) {
                throw new QELTAException("Target '" + target + "' names no node of the network", Cells.BAD_COLUMN);
            }
            if (check.getNodeType(target) == NodeType.EQUATION) {
                throw new QELTAException("Target '" + target + "' is an equation node, whose value is sampled"
                        + " over a continuous range, not a posterior over outcomes: batch inference answers"
                        + " nodes with outcomes", Cells.BAD_COLUMN);
            }
        }
        this.networkText = networkText;
        this.targets = targets.clone();
    }

    /** Columns carried into the answer unchanged, which are no evidence (an identifier, say). */
    public BatchInference keep(String... columns) {
        kept.addAll(Arrays.asList(columns));
        return this;
    }

    /** The posteriors of the targets for every row of cases, in the rows' order. */
    public Dataset<Row> apply(Dataset<Row> cases) {
        Network net = new Network();
        net.readString(networkText);
        StructType schema = cases.schema();
        List<String> evidence = new ArrayList<>();
        for (String name : schema.fieldNames()) {
            if (!kept.contains(name)) evidence.add(name);
        }
        Cells cells = new Cells(schema, evidence.toArray(new String[0]), net);
        List<StructField> fields = new ArrayList<>(Arrays.asList(schema.fields()));
        Set<String> taken = new HashSet<>(Arrays.asList(schema.fieldNames()));
        int width = 0;
        int[] widths = new int[targets.length];
        for (int t = 0; t < targets.length; ++t) {
            // A plate node's value holds a row of outcomes per slice.
            boolean plate = net.getNodeTemporalType(targets[t]) == TemporalType.PLATE;
            int slices = plate ? net.getSliceCount() : 1;
            for (int slice = 0; slice < slices; ++slice) {
                String node = slice == 0 ? targets[t] : targets[t] + "_" + slice;
                for (String outcome : net.getOutcomeIds(targets[t])) {
                    fields.add(DataTypes.createStructField(newColumn(taken, node + "=" + outcome), DataTypes.DoubleType, true));
                    ++widths[t];
                }
            }
            width += widths[t];
        }
        fields.add(DataTypes.createStructField(newColumn(taken, PROBABILITY), DataTypes.DoubleType, true));
        fields.add(DataTypes.createStructField(newColumn(taken, PROBLEM), DataTypes.StringType, true));
        String text = networkText;
        String[] targetIds = targets;
        int answers = width;
        JavaRDD<Row> rows = cases.javaRDD().zipWithIndex().mapPartitions(
                (Iterator<Tuple2<Row, Long>> part) -> answer(text, targetIds, widths, answers, cells, part));
        return cases.sparkSession().createDataFrame(rows, DataTypes.createStructType(fields));
    }

    private static String newColumn(Set<String> taken, String name) {
        if (!taken.add(name)) {
            throw new QELTAException("Dataset column '" + name + "' is taken by an answer column", Cells.BAD_COLUMN);
        }
        return name;
    }

    private static Iterator<Row> answer(String text, String[] targets, int[] widths, int width, Cells cells,
            Iterator<Tuple2<Row, Long>> part) {
        if (!part.hasNext()) return Collections.emptyIterator();
        Network net = new Network();
        net.readString(text);
        int[] handles = new int[cells.width()];
        for (int i = 0; i < handles.length; ++i) handles[i] = net.getNode(cells.name(i));
        int[] targetHandles = new int[targets.length];
        for (int t = 0; t < targets.length; ++t) targetHandles[t] = net.getNode(targets[t]);
        // Rows are answered as Spark asks for them; the network goes with the last one.
        return new Iterator<Row>() {
            @Override
            public boolean hasNext() {
                boolean more = part.hasNext();
                if (!more) net.close();
                return more;
            }

            @Override
            public Row next() {
                Tuple2<Row, Long> next = part.next();
                Row row = next._1();
                Object[] values = new Object[row.length() + width + 2];
                for (int k = 0; k < row.length(); ++k) values[k] = row.get(k);
                values[values.length - 1] = solve(net, cells, handles, targetHandles, widths, row, next._2() + 1,
                        values, row.length());
                return RowFactory.create(values);
            }
        };
    }

    /** Fills values from position at with the row's answers; answers why it cannot, or null. */
    private static String solve(Network net, Cells cells, int[] handles, int[] targets, int[] widths, Row row,
            long record, Object[] values, int at) {
        net.clearAllEvidence();
        for (int i = 0; i < handles.length; ++i) {
            int outcome;
            try {
                outcome = cells.outcome(row, i, record);
            } catch (QELTAException e) {
                return e.getMessage();
            }
            if (outcome < 0) continue;
            try {
                net.setEvidence(handles[i], outcome);
            } catch (QELTAException e) {
                return "Evidence of column '" + cells.name(i) + "' refused in record " + record + ": "
                        + e.getMessage();
            }
        }
        int k = at;
        try {
            net.updateBeliefs();
            for (int t = 0; t < targets.length; ++t) {
                double[] value = net.getNodeValue(targets[t]);
                // A value of another shape than its columns is this row's problem, never a
                // failed task.
                if (value.length != widths[t]) {
                    Arrays.fill(values, at, values.length, null);
                    return "Target '" + net.getNodeId(targets[t]) + "' answers " + value.length
                            + " numbers for its " + widths[t] + " columns in record " + record;
                }
                for (double p : value) values[k++] = p;
            }
        } catch (QELTAException e) {
            Arrays.fill(values, at, values.length, null);
            return "Impossible evidence in record " + record + ": " + e.getMessage();
        }
        try {
            values[k] = net.probEvidence();
        } catch (QELTAException e) {
            // The posteriors stand (a probability below the doubles, say).
            return "No probability of the evidence in record " + record + ": " + e.getMessage();
        }
        return null;
    }
}
