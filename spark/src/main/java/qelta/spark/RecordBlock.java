package qelta.spark;

import java.io.Serializable;
import java.util.ArrayList;
import java.util.Iterator;
import java.util.List;
import org.apache.spark.sql.Row;
import scala.Tuple2;

/**
 * Records of one partition read once into outcome indices, row after row ({@code -1}: missing),
 * so that the passes over them go through no Spark row and no string again.
 */
final class RecordBlock implements Serializable {
    private static final long serialVersionUID = 1L;

    /** Records per block: a few megabytes of indices on a wide network (tests take fewer). */
    static int capacity = 16384;

    /** Number (from 0) of the block's first record in the data. */
    final long first;
    final int rows;
    final int[] values;
    /** Whether no cell is missing. */
    final boolean complete;
    /** Whether some cell holds a value. */
    final boolean anyValue;

    private RecordBlock(long first, int rows, int[] values, boolean complete, boolean anyValue) {
        this.first = first;
        this.rows = rows;
        this.values = values;
        this.complete = complete;
        this.anyValue = anyValue;
    }

    /** The blocks of one partition's rows, each paired with its record number from 0. */
    static Iterator<RecordBlock> read(Iterator<Tuple2<Row, Long>> rows, Cells cells) {
        int width = cells.width();
        int capacity = RecordBlock.capacity;
        List<RecordBlock> blocks = new ArrayList<>();
        int[] values = null;
        int count = 0;
        long first = 0;
        boolean complete = true;
        boolean anyValue = false;
        while (rows.hasNext()) {
            Tuple2<Row, Long> next = rows.next();
            if (values == null) {
                values = new int[capacity * width];
                first = next._2();
                count = 0;
                complete = true;
                anyValue = false;
            }
            Row row = next._1();
            for (int i = 0; i < width; ++i) {
                int v = cells.outcome(row, i, next._2() + 1);
                values[count * width + i] = v;
                complete &= v >= 0;
                anyValue |= v >= 0;
            }
            if (++count == capacity) {
                blocks.add(new RecordBlock(first, count, values, complete, anyValue));
                values = null;
            }
        }
        if (values != null) {
            blocks.add(new RecordBlock(first, count,
                    java.util.Arrays.copyOf(values, count * width), complete, anyValue));
        }
        return blocks.iterator();
    }
}
