package qelta.learning;

import qelta.Network;
import qelta.Wrapper;

/**
 * A table of observations for learning: variables (columns) that are either
 * discrete (int cells) or continuous (float cells), and records (rows). Each
 * variable has a value that marks a missing cell.
 *
 * <p>A discrete cell holds the index of one of its variable's state names
 * ({@link #getStateNames(int)}); a variable without state names holds bare
 * indices. Learning pairs states with a node's outcomes by name, not by
 * index: {@link #matchNetwork(Network)} rewrites each named variable it
 * matches so that every cell holds the index of the node's outcome of the
 * same name, and gives the variable the node's outcome identifiers, in the
 * node's order, as its state names; a variable without state names is taken
 * to hold the node's outcome indices as they are. {@link EM} and the other
 * learners read the cells as the matched node's outcome indices, so matches
 * made by hand suit only variables whose cells already are such indices.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class DataSet extends Wrapper {
    /** Creates an empty data set. */
    public DataSet() {
        adopt(createNative(null), DataSet::deleteNative);
    }

    /** Makes the native object; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native object made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The number of records.
     *
     * @return the number of records
     */
    public native int getRecordCount();

    /**
     * The number of variables (columns).
     *
     * @return the number of variables
     */
    public native int getVariableCount();

    /**
     * Appends a record in which every cell is missing.
     */
    public native void addEmptyRecord();

    /**
     * The identifier of a variable.
     *
     * @param variable the variable's index
     * @return the identifier
     */
    public native String getVariableId(int variable);

    /**
     * Finds a variable by its identifier.
     *
     * @param id the identifier
     * @return the variable's index, or -1 when there is none
     */
    public native int findVariable(String id);

    /**
     * Whether a variable is discrete.
     *
     * @param variableId identifier of the variable
     * @return true for an int (discrete) variable, false for a float (continuous) one
     */
    public native boolean isDiscrete(String variableId);

    /**
     * Same as {@link #isDiscrete(String)}, with the variable given by its index.
     *
     * @param variable index of the variable
     * @return true for an int (discrete) variable, false for a float (continuous) one
     */
    public native boolean isDiscrete(int variable);

    /**
     * Whether a cell holds the variable's missing value.
     *
     * @param variable the variable's index
     * @param record the record's index
     * @return true when the cell is missing
     */
    public native boolean isMissing(int variable, int record);

    /**
     * Makes a cell missing.
     *
     * @param variable the variable's index
     * @param record the record's index
     */
    public native void setMissing(int variable, int record);

    /**
     * A cell of a discrete variable: an outcome index or the missing value.
     *
     * @param variable the variable's index
     * @param record the record's index
     * @return the cell
     */
    public native int getInt(int variable, int record);

    /**
     * Sets a cell of a discrete variable.
     *
     * @param variable the variable's index
     * @param record the record's index
     * @param value the new value, stored unchecked
     */
    public native void setInt(int variable, int record, int value);

    /**
     * A cell of a continuous variable.
     *
     * @param variable the variable's index
     * @param record the record's index
     * @return the cell
     */
    public native float getFloat(int variable, int record);

    /**
     * Sets a cell of a continuous variable.
     *
     * @param variable the variable's index
     * @param record the record's index
     * @param value the new value
     */
    public native void setFloat(int variable, int record, float value);

    /**
     * Adds a discrete variable; existing records get the missing value.
     *
     * @param id the identifier
     * @param missingValue the value that marks a missing cell
     */
    public native void addIntVariable(String id, int missingValue);

    /**
     * Adds a continuous variable; existing records get the missing value.
     *
     * @param id the identifier
     * @param missingValue the value that marks a missing cell; NaN counts every non-finite value as
     *     missing
     */
    public native void addFloatVariable(String id, float missingValue);

    /**
     * The state names of a discrete variable.
     *
     * @param variable the variable's index
     * @return the state names, empty when there are none
     */
    public native String[] getStateNames(int variable);

    /**
     * Sets the state names of a discrete variable.
     *
     * @param variable the variable's index
     * @param names the state names
     */
    public native void setStateNames(int variable, String[] names);

    /**
     * Reads delimited text, replacing the whole content. The separator is found from the first
     * line. Numbers are read with the "C" numeric conventions. A column is discrete while its
     * values are whole numbers, continuous once one has a decimal point or an exponent ("1.0",
     * "1e0") or is not whole, and discrete with named states (in bytewise order) once one is not a
     * number. A number equal to missingInt is missing in a discrete column and a value in a
     * continuous one, where only the missing-value token is missing. A file that cannot be read
     * leaves the data set as it was; the exception's message names the reason and the line.
     *
     * @param file the file name
     * @param missingToken the text of a missing cell; null means "*"
     * @param missingInt the missing value of discrete columns
     * @param missingFloat the missing value of continuous columns
     * @param hasColumnIds true when the first line holds the column identifiers
     */
    public native void readFile(
            String file, String missingToken, int missingInt, float missingFloat, boolean hasColumnIds);

    /**
     * Writes the data as delimited text, so that {@link #readFile} with the same missing-value
     * token and column ids setting (missing int -1, missing float NaN) gives the same cells:
     * continuous cells as continuous values, bit for bit; discrete cells by state name. A discrete
     * variable comes back with the states its cells name, in bytewise order of the names, the
     * others dropped and the indices renumbered, and without names when no record has a named
     * value; a continuous variable without any value comes back discrete, all missing. What could
     * not be read back so is refused before the file is created, with a message naming the
     * variable and, for a cell, the record: a state name or identifier that is empty or holds a
     * line break; a state name that reading would take as a number (such as "2", "nan" or "inf"),
     * or that the variable holds twice;
     * a value -1 of a variable whose missing int is another, in a variable without named values;
     * a value that is not finite in a variable whose missing float is finite; with two or more
     * variables, a cell of the first line (the identifiers, or the first record without them)
     * holding a character that reading would take for the separator instead: reading takes the
     * first of TAB, ',', ';' and the space that the first line holds, so with ';' as separator a
     * TAB or a ',' there is refused; with one variable, a first line over 128 bytes without any of
     * these four, or a missing-value token holding the one it holds; a missing-value token holding
     * the separator; a data set without variables, or without records when no identifiers are
     * written. A cell holding the separator itself, or a character that reading would find only
     * after it, is written between double quotes and reads back as it was.
     *
     * @param file the file name
     * @param separator the field separator; 0 means TAB; CR, LF, the double quote and characters
     *     beyond U+007F are refused, and with two or more variables any other than TAB, ',', ';'
     *     and the space, the only ones reading finds
     * @param missingToken the text of a missing cell; null means "*"
     * @param writeColumnIds true to write the identifiers on a first line
     */
    public native void writeFile(
            String file, char separator, String missingToken, boolean writeColumnIds);

    /**
     * Matches the variables to the network's nodes by identifier, and pairs the states of each
     * matched discrete variable with the node's outcomes by name: a variable with state names has
     * its cells renumbered to the node's outcome indices and the node's outcome identifiers, in the
     * node's order, as its state names (the data set changes); a variable without state names must
     * hold outcome indices of the node already. A state name that no outcome of the node has, or a
     * bare index that no outcome has, is refused, naming the variable and the value.
     *
     * @param net the network
     * @return one match per matched column
     */
    public native DataMatch[] matchNetwork(Network net);

    /**
     * Turns a variable's values into bin numbers; a continuous variable becomes discrete.
     *
     * @param variable the variable's index
     * @param method one of {@link DiscretizationMethod}: {@link DiscretizationMethod#GROUPED_VALUES}
     *     groups sorted distinct values, {@link DiscretizationMethod#EQUAL_WIDTH} makes equal-width
     *     intervals, {@link DiscretizationMethod#EQUAL_COUNT} equal-count intervals; another code is
     *     refused with {@link qelta.QELTAException#NO_CODE}, naming the argument
     * @param binCount the number of bins
     * @param statePrefix prefix of the generated state names; null or empty keeps them unnamed
     * @return the interval boundaries
     */
    public native double[] discretize(int variable, int method, int binCount, String statePrefix);
}
