package qelta.spark;

import java.io.Serializable;
import java.util.HashMap;
import java.util.HashSet;
import java.util.Map;
import java.util.Set;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.types.ByteType;
import org.apache.spark.sql.types.DataType;
import org.apache.spark.sql.types.DecimalType;
import org.apache.spark.sql.types.DoubleType;
import org.apache.spark.sql.types.FloatType;
import org.apache.spark.sql.types.IntegerType;
import org.apache.spark.sql.types.LongType;
import org.apache.spark.sql.types.ShortType;
import org.apache.spark.sql.types.StringType;
import org.apache.spark.sql.types.StructField;
import org.apache.spark.sql.types.StructType;
import qelta.Network;
import qelta.QELTAException;
import qelta.TemporalType;

/**
 * Columns of a Spark table matched to nodes by name, and their cells read as outcome indices: a
 * string cell names an outcome (or, written as a whole number, gives its index), an integer cell
 * is an outcome index, null and the empty string are missing (no outcome identifier is empty, and
 * CSV readers leave an empty field so). Built on the driver; shipped to the workers.
 */
final class Cells implements Serializable {
    private static final long serialVersionUID = 1L;

    /** Status of a value that names no outcome, as the data set's matching gives it. */
    static final int INVALID_VALUE = -4;
    /** Status of a column that names no node or has no outcomes. */
    static final int BAD_COLUMN = -2;

    private final String[] names;
    private final int[] positions;
    private final Kind[] kinds;
    private final String[][] outcomes;
    private final Map<String, Integer>[] outcomeIndex;

    private enum Kind { TEXT, INDEX }

    /**
     * Matches the given columns of schema to the nodes of net: each must name a node with
     * outcomes, hold strings or integers, and appear once.
     */
    @SuppressWarnings("unchecked")
    Cells(StructType schema, String[] columns, Network net) {
        Set<String> nodes = new HashSet<>(java.util.List.of(net.getAllNodeIds()));
        names = columns.clone();
        positions = new int[columns.length];
        kinds = new Kind[columns.length];
        outcomes = new String[columns.length][];
        outcomeIndex = new Map[columns.length];
        Set<String> seen = new HashSet<>();
        for (int i = 0; i < columns.length; ++i) {
            String name = columns[i];
            if (!seen.add(name)) {
                throw new QELTAException("Dataset column '" + name + "' appears twice", BAD_COLUMN);
            }
            if (!nodes.contains(name)) {
                throw new QELTAException(
                        "Dataset column '" + name + "' names no node of the network", BAD_COLUMN);
            }
            StructField field = schema.fields()[schema.fieldIndex(name)];
            positions[i] = schema.fieldIndex(name);
            kinds[i] = kindOf(field);
            outcomes[i] = net.getOutcomeIds(name);
            if (outcomes[i] == null || outcomes[i].length == 0) {
                throw new QELTAException("Dataset column '" + name
                        + "' is discrete, but matching node is continuous", BAD_COLUMN);
            }
            outcomeIndex[i] = new HashMap<>();
            for (int k = 0; k < outcomes[i].length; ++k) outcomeIndex[i].put(outcomes[i][k], k);
        }
    }

    /**
     * Refuses, for distributed EM, a column that names no node of a dynamic network (a slice's
     * column, say) by the network first: the learner does not take dynamic networks at all.
     */
    static void refuseDynamic(String[] columns, Network net) {
        String[] ids = net.getAllNodeIds();
        Set<String> nodes = new HashSet<>(java.util.List.of(ids));
        for (String name : columns) {
            if (nodes.contains(name)) continue;
            for (String id : ids) {
                if (net.getNodeTemporalType(id) != TemporalType.NORMAL) {
                    throw new QELTAException("EM: node '" + id + "' is in a dynamic network, which"
                            + " distributed EM does not learn; Dataset column '" + name
                            + "' names no node of the network", BAD_COLUMN);
                }
            }
        }
    }

    private static Kind kindOf(StructField field) {
        DataType type = field.dataType();
        if (type instanceof StringType) return Kind.TEXT;
        if (type instanceof IntegerType || type instanceof LongType || type instanceof ShortType
                || type instanceof ByteType) {
            return Kind.INDEX;
        }
        if (type instanceof DoubleType || type instanceof FloatType || type instanceof DecimalType) {
            throw new QELTAException("Dataset column '" + field.name()
                    + "' is continous, but matching node is discrete", INVALID_VALUE);
        }
        throw new QELTAException("Dataset column '" + field.name() + "' holds " + type.simpleString()
                + ", neither outcome names nor outcome indices", INVALID_VALUE);
    }

    int width() {
        return names.length;
    }

    String[] names() {
        return names.clone();
    }

    String name(int i) {
        return names[i];
    }

    /**
     * The outcome index of column i's cell in row (record number {@code record}, counted from 1),
     * or -1 when the cell is null or the empty string.
     *
     * @throws QELTAException naming the column and record for a value that names no outcome
     */
    int outcome(Row row, int i, long record) {
        int position = positions[i];
        if (row.isNullAt(position)) return -1;
        Object cell = row.get(position);
        if (kinds[i] == Kind.TEXT) {
            String text = cell.toString();
            if (text.isEmpty()) return -1;
            Integer index = outcomeIndex[i].get(text);
            if (index != null) return index;
            Long number = wholeNumber(text);
            if (number == null) throw noOutcome(i, text, record);
            return checkedIndex(i, number, record);
        }
        return checkedIndex(i, ((Number) cell).longValue(), record);
    }

    private int checkedIndex(int i, long value, long record) {
        if (value < 0 || value >= outcomes[i].length) {
            throw noOutcome(i, Long.toString(value), record);
        }
        return (int) value;
    }

    private QELTAException noOutcome(int i, String value, long record) {
        return new QELTAException("Dataset column '" + names[i] + "' contains value '" + value
                + "' which doesn't map to any node outcome (record " + record + ")", INVALID_VALUE);
    }

    /** The number a text of digits (an optional sign first) writes, or null. */
    private static Long wholeNumber(String text) {
        String t = text.trim();
        if (t.isEmpty() || t.length() > 18) return null;
        int start = t.charAt(0) == '-' || t.charAt(0) == '+' ? 1 : 0;
        if (start == t.length()) return null;
        for (int k = start; k < t.length(); ++k) {
            if (t.charAt(k) < '0' || t.charAt(k) > '9') return null;
        }
        return Long.parseLong(t);
    }
}
