package qelta.learning;

/**
 * Names of the methods that {@link DataSet#discretize(int, int, int, String)} takes. Any other
 * code is refused with {@link qelta.QELTAException#NO_CODE}, naming the argument.
 */
public final class DiscretizationMethod {
    private DiscretizationMethod() {}

    /**
     * Groups the sorted distinct values into bins.
     */
    public static final int GROUPED_VALUES = 0;

    /**
     * Intervals of equal width.
     */
    public static final int EQUAL_WIDTH = 1;

    /**
     * Intervals holding equal numbers of values.
     */
    public static final int EQUAL_COUNT = 2;
}
