package qelta.learning;

import qelta.Wrapper;

/**
 * Background knowledge for structure learning: arcs that must be present,
 * arcs that must not, and tiers (a variable may have parents only in its own
 * or earlier tiers). Variables are named by index or by identifier.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class BkKnowledge extends Wrapper {
    /** Creates empty knowledge. */
    public BkKnowledge() {
        adopt(createNative(null), BkKnowledge::deleteNative);
    }

    /** Makes the native object; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native object made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * Reads the knowledge from its XML file, replacing the content.
     *
     * @param file the file name
     */
    public native void readFile(String file);

    /**
     * Writes the knowledge to an XML file. Without variables, one named "var" and its index is made
     * for every index that an arc or a tier mentions; variables without a position get one below
     * the others of their tier. These completions stay in the knowledge. Refused (-103, no file
     * written) when the file would not read back as it is: a variable identifier holding U+FFFE,
     * U+FFFF or a control character other than TAB, LF and CR, or one an earlier variable holds.
     * The comments of variables and arcs, which only {@link #readFile(String)} brings in (no
     * method sets them), are written as they were read.
     *
     * @param file the file name
     */
    public native void writeFile(String file);

    /**
     * Matches the knowledge's variables to the data set's variables by identifier.
     *
     * @param data the data set
     */
    public native void matchData(DataSet data);

    /**
     * The number of variables.
     *
     * @return the number of variables
     */
    public native int getVariableCount();

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
     * Appends a variable.
     *
     * @param id the identifier
     */
    public native void addVariable(String id);

    /**
     * The tier of a variable.
     *
     * @param variable index of the variable
     * @return the tier, 0 when none was set
     */
    public native int getTier(int variable);

    /**
     * Same as {@link #getTier(int)}, with the variable given by its identifier.
     *
     * @param variableId identifier of the variable
     * @return the tier, 0 when none was set
     */
    public native int getTier(String variableId);

    /**
     * Puts a variable in a tier, replacing its earlier tier.
     *
     * @param variable index of the variable
     * @param tier the tier
     */
    public native void setTier(int variable, int tier);

    /**
     * Same as {@link #setTier(int, int)}, with the variable given by its identifier.
     *
     * @param variableId identifier of the variable
     * @param tier the tier
     */
    public native void setTier(String variableId, int tier);

    /**
     * Requires the arc from parent to child. While the knowledge has no variables, any non-negative
     * indices are accepted.
     *
     * @param parent index of the parent variable
     * @param child index of the child variable
     */
    public native void addForcedArc(int parent, int child);

    /**
     * Same as {@link #addForcedArc(int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent variable
     * @param childId identifier of the child variable
     */
    public native void addForcedArc(String parentId, String childId);

    /**
     * Forbids the arc from parent to child. While the knowledge has no variables, any non-negative
     * indices are accepted.
     *
     * @param parent index of the parent variable
     * @param child index of the child variable
     */
    public native void addForbiddenArc(int parent, int child);

    /**
     * Same as {@link #addForbiddenArc(int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent variable
     * @param childId identifier of the child variable
     */
    public native void addForbiddenArc(String parentId, String childId);

    /**
     * The variables that forced arcs lead to from the parent.
     *
     * @param parent the parent variable's index
     * @return the children's indices
     */
    public native int[] getForcedChildren(int parent);

    /**
     * The variables that forbidden arcs would lead to from the parent.
     *
     * @param parent the parent variable's index
     * @return the children's indices
     */
    public native int[] getForbiddenChildren(int parent);
}
