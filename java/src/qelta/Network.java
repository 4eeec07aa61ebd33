package qelta;

import java.awt.Color;
import java.awt.Dimension;
import java.awt.Rectangle;

/**
 * A Bayesian network, influence diagram or dynamic network, held by the
 * native library.
 *
 * <p>Nodes are named by a handle, an int that stays the same for the node's
 * life (deleting a node leaves its handle free for a later node), or by their
 * identifier. Almost every node method exists in both forms; the identifier
 * form finds the node first and then behaves as the handle form. Outcomes are
 * likewise named by index or by identifier, and submodels by handle (the
 * main submodel's handle is 32768) or by identifier.
 *
 * <p>Every method reports a failure by throwing {@link QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>", followed by the reasons the call
 * logged (see {@link QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 *
 * <p>A network owns native memory: close it when done (it is
 * {@link AutoCloseable}). Objects that work on a network ({@link DiagNetwork},
 * {@link ValueOfInfo}, {@code qelta.learning.Validator}) keep it reachable,
 * and must be closed before it. A network and everything that works on it is
 * used by one thread at a time.
 *
 * <p>The codes that methods take and return as ints are listed below; the
 * engine's status codes are listed with {@link QELTAException}.
 *
 * <h2 id="node-types">Node types</h2>
 *
 * <p>The definition type code of {@link #addNode(int, String)},
 * {@link #getNodeType(int)} and {@link #setNodeType(int, int)}. A code is a sum
 * of bits: 1 decision, 2 probabilistic chance node, 4 equation or truth table,
 * 8 utility, and 16 for the kinds that have named outcomes (so
 * {@code (type & 16) != 0} tells whether {@link #getOutcomeIds(int)} applies).
 *
 * <table class="striped">
 * <caption>Definition type codes</caption>
 * <thead><tr><th>Code</th><th>Node</th><th>Outcomes of a new node</th>
 *   <th>What {@link #setNodeDefinition(int, double[])} takes</th></tr></thead>
 * <tbody>
 * <tr><td>18 ({@link NodeType#CPT})</td>
 *   <td>chance node with a conditional probability table (CPT)</td>
 *   <td>"State0", "State1"</td><td>the table, uniform on a new node</td></tr>
 * <tr><td>20 ({@link NodeType#TRUTH_TABLE})</td>
 *   <td>truth table: a deterministic chance node</td>
 *   <td>"State0", "State1"</td><td>the table, as for a CPT: its own edits keep one 1 among 0s
 *   per parent configuration, but any numbers are taken (see
 *   {@link #setNodeDefinition(int, double[])} for the files that keep them)</td></tr>
 * <tr><td>146 ({@link NodeType#NOISY_MAX})</td>
 *   <td>noisy-MAX</td><td>"State0", "State1"</td><td>the parameters</td></tr>
 * <tr><td>274 ({@link NodeType#NOISY_ADDER})</td>
 *   <td>noisy-adder</td><td>"State0", "State1"</td><td>the parameters</td></tr>
 * <tr><td>82 ({@link NodeType#DEMORGAN})</td>
 *   <td>DeMorgan</td><td>"True", "False", fixed</td>
 *   <td>not taken: see the DeMorgan methods</td></tr>
 * <tr><td>50 ({@link NodeType#CAST})</td>
 *   <td>CAST</td><td>"True", "False", fixed</td><td>not taken</td></tr>
 * <tr><td>17 ({@link NodeType#DECISION})</td>
 *   <td>decision</td><td>"Choice0", "Choice1" (the choices)</td><td>not taken</td></tr>
 * <tr><td>8 ({@link NodeType#UTILITY})</td>
 *   <td>utility</td><td>none</td>
 *   <td>one utility per configuration of the parents</td></tr>
 * <tr><td>520 ({@link NodeType#MAU})</td>
 *   <td>multi-attribute utility</td><td>none</td>
 *   <td>one weight per utility parent for each configuration of the decision parents
 *   (or expressions instead: {@link #setMauExpressions(int, String[])})</td></tr>
 * <tr><td>4 ({@link NodeType#EQUATION})</td>
 *   <td>equation: a continuous node defined by an equation</td>
 *   <td>none (discretization intervals instead)</td><td>not taken</td></tr>
 * </tbody>
 * </table>
 *
 * <p>A new node gets the identifier the caller gives, or one the network makes,
 * the outcomes above, the temporal type {@link TemporalType#NORMAL} and the diagnostic role
 * {@link DiagRole#AUXILIARY}. Tables are laid out as {@link #setNodeDefinition(int, double[])}
 * says; their numbers are not checked when they are set.
 *
 * <h2 id="values">Node values</h2>
 *
 * <p>{@link #getNodeValue(int)} returns a node's value after
 * {@link #updateBeliefs()} as one array, the last dimension varying fastest:
 * <ul>
 * <li>A chance node of a Bayesian network: its posterior probabilities, one per
 * outcome in outcome order.
 * <li>A node of an influence diagram: one row per configuration of the nodes
 * that index the value ({@link #getValueIndexingParents(int)}: of the decisions
 * and the parents of decisions that have no evidence, those the value depends
 * on, in decision order), the first indexing node varying slowest and
 * the last fastest. With indexing nodes of n<sub>1</sub>, ..., n<sub>k</sub>
 * outcomes and a row of length m, the row of configuration (s<sub>1</sub>, ...,
 * s<sub>k</sub>) starts at ((s<sub>1</sub> n<sub>2</sub> + s<sub>2</sub>)
 * n<sub>3</sub> + ... + s<sub>k</sub>) m. A row holds, for a chance node, its
 * probabilities given that configuration (m = its outcome count); for a decision,
 * the expected utility of each choice (m = its choice count); for a utility or
 * multi-attribute utility node, its expected utility (m = 1). A node without
 * indexing nodes has one row.
 * <li>A plate node of a dynamic network: one row of probabilities per time
 * slice, slice 0 first ({@link #getSliceCount()} rows); nodes outside the plate
 * have one row, or, in an influence diagram, one row per configuration of their
 * indexing nodes, as above. In a dynamic influence diagram a plate node whose
 * slices the solver indexes by a configuration is not valid, and so is a node
 * outside the plate that the solver indexes by a plate node or by one of its
 * slices.
 * <li>An equation node: one probability per discretization interval when it was
 * updated in discretized form ({@link #isValueDiscretized(int)}); otherwise its
 * samples, NaN and infinite ones included, or, when its finite samples are all
 * equal (or there is only one), their mean alone, the NaN and infinite samples left
 * out (see <a href="#non-finite-samples">non-finite samples</a>).
 * </ul>
 * A value that is not valid (not computed, or invalidated by a later edit;
 * {@link #isValueValid(int)}) is refused with "Value not valid - node '<i>id</i>'".
 *
 * <h2 id="algorithms">Algorithms</h2>
 *
 * <p>{@link #updateBeliefs()} takes one of three roads. A network with a node of
 * temporal type {@link TemporalType#PLATE} is unrolled into its time slices, the unrolled network
 * is updated and the results copied back. A network with decision, utility or
 * multi-attribute utility nodes is an influence diagram, solved by the
 * influence-diagram algorithm; one that also has equation nodes is refused with
 * code -2 ("Equation nodes cannot be used in influence diagrams."). A network with
 * equation nodes is sampled when its evidence allows, else its equation nodes are
 * discretized and it goes on as a Bayesian network (see
 * <a href="#equation-updates">Networks with equation nodes</a>). Every other network
 * is updated by the Bayesian-network algorithm.
 *
 * <table class="striped">
 * <caption>Bayesian-network algorithm codes ({@link #setBayesianAlgorithm(int)})</caption>
 * <thead><tr><th>Code</th><th>What it runs</th><th>Exact</th></tr></thead>
 * <tbody>
 * <tr><td>0 ({@link BayesianAlgorithm#CLUSTERING})</td>
 *   <td>join-tree clustering over the parts that relevance reasoning
 *   leaves; when a join tree does not fit, it goes on as code 11 (unless the user
 *   property "VRN_REL_DECOMP_DISABLE_FALLBACK" exists, or the network has one
 *   target: then code -42)</td><td>yes</td></tr>
 * <tr><td>1 ({@link BayesianAlgorithm#REJECTION_SAMPLING})</td>
 *   <td>rejection sampling: every node drawn from its table, samples
 *   that disagree with the evidence dropped</td><td>no</td></tr>
 * <tr><td>2 ({@link BayesianAlgorithm#POLYTREE})</td>
 *   <td>polytree propagation of messages between parents and children
 *   over the whole network</td><td>only when the network has no loop (ignoring arc
 *   directions)</td></tr>
 * <tr><td>3 ({@link BayesianAlgorithm#EVIDENCE_WEIGHTING})</td>
 *   <td>evidence-weighted sampling: unobserved nodes drawn from their
 *   tables, each sample weighted by the probability of the evidence</td><td>no</td></tr>
 * <tr><td>4 ({@link BayesianAlgorithm#IMPORTANCE_SAMPLING})</td>
 *   <td>importance sampling: as code 3 with sampling tables
 *   re-estimated every 100 samples</td><td>no</td></tr>
 * <tr><td>5 ({@link BayesianAlgorithm#WEIGHTED_SAMPLING})</td>
 *   <td>the same routine as code 3</td><td>no</td></tr>
 * <tr><td>6 ({@link BayesianAlgorithm#BACKWARD_SAMPLING})</td>
 *   <td>sampling that draws the parents of each observed node
 *   backwards from its table, the rest forwards</td><td>no</td></tr>
 * <tr><td>7 ({@link BayesianAlgorithm#ADAPTIVE_IMPORTANCE_SAMPLING})</td>
 *   <td>adaptive importance sampling: heuristic importance tables
 *   learned from 25000 samples, then the sample count of importance samples</td><td>no</td></tr>
 * <tr><td>8 ({@link BayesianAlgorithm#LOOPY_IMPORTANCE_SAMPLING})</td>
 *   <td>importance sampling with tables from loopy belief propagation</td>
 *   <td>no</td></tr>
 * <tr><td>9 ({@link BayesianAlgorithm#LOOPY_BELIEF_PROPAGATION})</td>
 *   <td>loopy belief propagation alone (no sampling)</td><td>no</td></tr>
 * <tr><td>10 ({@link BayesianAlgorithm#PART_JUNCTION_TREES})</td>
 *   <td>a junction tree per part that relevance reasoning leaves</td>
 *   <td>yes</td></tr>
 * <tr><td>11 ({@link BayesianAlgorithm#RELEVANCE_DECOMPOSITION})</td>
 *   <td>relevance decomposition: join-tree clustering of the targets in
 *   batches (user property "VRN_REL_DECOMP_THRESHOLD", 32 by default), a batch
 *   that does not fit split in halves</td><td>yes</td></tr>
 * <tr><td>12 ({@link BayesianAlgorithm#RELEVANCE_DECOMPOSITION_ONE_BATCH})</td>
 *   <td>relevance decomposition of all targets in one batch, split in
 *   halves until each part fits</td><td>yes</td></tr>
 * </tbody>
 * </table>
 *
 * <p>The sampling codes draw {@link #getSampleCount()} samples from the network's
 * random generator ({@link #setRandSeed(int)}: a seed other than 0 repeats the
 * results). A new network uses code 0.
 *
 * <table class="striped">
 * <caption>Influence-diagram algorithm codes
 *   ({@link #setInfluenceDiagramAlgorithm(int)})</caption>
 * <thead><tr><th>Code</th><th>What it computes</th></tr></thead>
 * <tbody>
 * <tr><td>0 ({@link InfluenceDiagramAlgorithm#WHOLE_DIAGRAM})</td>
 *   <td>The whole diagram, by evaluating every configuration of the
 *   open decisions and of the observations made before them with the
 *   Bayesian-network algorithm: every decision's expected utilities and every
 *   node's value, indexed as <a href="#values">Node values</a> says. The default.
 *   Where an update behind it had to take the careful passes below the normal
 *   doubles, it refuses, with code -2 and "Expected utilities of node [<i>u</i>] are
 *   differences of far larger amounts: the rounding of double precision numbers
 *   would leave them inexact", an expected utility (or a decision's value built on
 *   it) that those passes could move by more than 1e-12 of itself and by more than
 *   1e-300, naming the utility node or the decision.</td></tr>
 * <tr><td>1 ({@link InfluenceDiagramAlgorithm#BEST_POLICY})</td>
 *   <td>Only the best choice of the first open decision, as a point
 *   mass; every other value is left invalid. It fixes each later open decision to
 *   one choice whatever will be known by then, so its answer is sure to be best
 *   only when no later decision is open and nothing below the open decision is
 *   observed; with such an observation its choice can change when one utility moves
 *   so little that the merged table goes over from carrying each utility as its
 *   distance from an end to carrying it as its own value, or back. When such an observation (or a node's likelihoods) leaves the open
 *   decision no choice of more than the lowest utility, it refuses the diagram with
 *   code -26 and "Error when running Shachter's algorithm", followed in the log by
 *   "Decision [<i>d</i>] has the observed node [<i>x</i>] below it: this algorithm
 *   cannot weigh the choices that evidence leaves when none of them has more than
 *   the lowest utility"; without one, choices that all have the lowest utility
 *   tie as any equal choices do, and the last is taken. It refuses, with code -2
 *   and "Utilities summed over every utility node span too wide a range: the
 *   smallest differences would be lost", utility tables whose sum it cannot carry,
 *   as each value's distance from the least or the largest, or as its own value,
 *   over their range, without losing a value's digits. It
 *   refuses, with code -2 and "Can't solve this network using best
 *   policy algorithm", a diagram whose first open decision (the first decision
 *   without evidence, in decision order) has a parent without evidence: every
 *   parent of that decision must be observed or decided first. The exception's
 *   message then names them on the next line: "Decision [<i>d</i>] has the parent
 *   [<i>p</i>] without evidence: this algorithm needs every parent of the first
 *   undecided decision observed". (In the oil
 *   wildcatter diagram, with the test decided and the seismic result not observed,
 *   the drilling decision has an unobserved parent and the diagram is refused.) It
 *   combines a multi-attribute utility node's parents by the node's weights or, in
 *   expression mode ({@link #setMauExpressions(int, String[])}), by its
 *   expressions when each is a constant plus utilities times constants, such as
 *   {@code 0 - U} or {@code 2*U1 + U2 - 3}, also when the weights or constants
 *   differ between the choices of a decision parent; it refuses any other
 *   expression (such as {@code U1*U2} or {@code Abs(U)}) with the same code and
 *   message, after "Expression at index <i>i</i> of node [<i>id</i>] is not a
 *   constant plus utilities times constants".</td></tr>
 * </tbody>
 * </table>
 *
 * <p>Both take the decisions in one order; when a decision has no arc to or from
 * the next decision or the nodes observed just before it, they add the arc from
 * the one decision to the next to this network (it stays) and log "Temporal order
 * assumed: node [<i>a</i>] before node [<i>b</i>]". In a dynamic network the arcs are
 * added to the unrolled copy only. No arc can order the slices of one plate decision
 * (a temporal arc into a decision is refused with code -51), so the order assumed for
 * them need not follow the slices (such as D, D_2, D_1).
 *
 * <h3 id="equation-updates">Networks with equation nodes</h3>
 *
 * <p>Before it samples, {@link #updateBeliefs()} finds the nodes whose value is
 * known: an observed node (for a chance node whose outcomes are intervals, only one
 * observed by a number with {@link #setContEvidence(int, double)}), and an equation
 * node whose equation calls no random generator and whose parents are all known (a
 * constant equation such as {@code x = 5}, for example).
 * <ul>
 * <li>When no node has virtual evidence and every observed node has only known
 *   parents, it samples: it draws {@link #getSampleCount()} samples, parents before
 *   children, from the network's random generator. An unobserved equation node's
 *   value holds its samples ({@link #getNodeSampleStats(int)},
 *   {@link #getNodeSampleHistogram(int, double, double, int)}), or its one value
 *   when that is known; an unobserved chance node's value holds the frequencies of
 *   its outcomes. With outlier rejection on ({@link #setOutlierRejectionEnabled(boolean)}),
 *   a value outside its node's bounds, or not finite, is dropped together with the
 *   draws of the node's descendants in that sample.
 *   <p id="non-finite-samples">With outlier rejection off (the default), a value that is
 *   NaN or infinite stays among the node's samples: with X = {@code Normal(10, 2)} and
 *   Y = {@code Sqrt(X - 11)}, about 69% of Y's samples are NaN, and, as Y's finite
 *   samples vary, {@link #getNodeValue(int)} returns them all. Count them with
 *   {@code Arrays.stream(net.getNodeValue(y)).filter(v -> !Double.isFinite(v)).count()}.
 *   When a node's finite samples are all equal (or there is only one),
 *   {@link #getNodeValue(int)} returns their mean alone and no NaN or infinite
 *   sample: C = {@code Weibull(1, 0)} draws 0 or, about 37% of the time, infinity,
 *   and its value is [0.0]; an equation child still computes from every draw
 *   (D = {@code C * 0 + Normal(0, 1)} is NaN in those draws). A node none of whose
 *   samples is finite fails the update with code -5 ("No valid samples were generated
 *   for node <i>id</i>", followed by the inputs of its first such sample).
 *   {@link #getNodeSampleStats(int)}, {@link #getNodeMean(int)},
 *   {@link #getNodeStdDev(int)} and {@link #getNodeSampleHistogram(int, double, double,
 *   int)} describe the finite samples only. A chance node child of Y counts only the
 *   draws in which Y's value was finite (in the others it gets no outcome, nor do its
 *   own chance node children), so its probabilities are those given that Y is finite,
 *   P(Z | Y finite); an equation child computes from the NaN as its equation does.
 * <li>Otherwise (virtual evidence on some node, or evidence on a node with a parent
 *   that is not known, such as a child of an equation node that calls
 *   {@code Normal}, or of an unobserved chance node) it takes the discrete route:
 *   every equation node is discretized and the network is updated by the
 *   Bayesian-network algorithm ({@link #setBayesianAlgorithm(int)}), each equation
 *   node taking part as a chance node with one outcome per discretization interval
 *   ({@link #getNodeEquationDiscretization(int)}). Its table is estimated by drawing
 *   {@link #getDiscretizationSampleCount()} values for each configuration of its
 *   parents' outcomes or intervals (observed and constant parents fixed at their
 *   values) and counting the intervals they fall in. An equation node observed at a
 *   number takes part as observed at the interval that holds the number, whatever the
 *   algorithm code.
 *   <p id="discretized-tables">Values below the node's lower bound or above its upper
 *   bound, and NaN values, are not counted. A configuration none of whose values was
 *   counted gets equal probabilities (a uniform column). With zero avoidance on
 *   ({@link #setZeroAvoidanceEnabled(boolean)}; the default) and an equation that calls
 *   a random generator, an interval that no value fell in counts one. Values left out
 *   are reported only in the error log, with code -4: "Discretization problem in node
 *   <i>id</i>:  Underflow samples: <i>n</i>, min=<i>v</i> loBound=<i>lo</i>  Overflow
 *   samples: <i>n</i>, max=<i>v</i> hiBound=<i>hi</i>  Total valid samples: <i>n</i> of
 *   <i>total</i>  CPT configs with no valid samples: <i>n</i> of <i>count</i>", with the
 *   parts that apply (NaN values count as underflow samples). The update still
 *   succeeds, so these lines reach the caller only through {@link #redirectLog(String)}
 *   (or in the message of a later failure of the same update).
 *   <p>In each draw, a parent that takes part through its intervals (an equation node,
 *   or a chance node whose outcomes are intervals) has a value drawn uniformly between
 *   the bounds of its interval in that configuration, whatever its own distribution
 *   within the interval. In an interval open at one end (a bound of minus or plus
 *   infinity) the value is the finite bound plus (an open upper end) or minus (an open
 *   lower end) the absolute value of a normal draw of mean 0 and standard deviation
 *   &radic;(2/&pi;) &asymp; 0.798 times the width of the neighbouring interval, or 2/n
 *   (n intervals) when that interval is open too. A chance node parent without
 *   intervals takes its outcome's point value, or else its index. The answer thus
 *   depends on the intervals: a parent's values count as spread evenly within each
 *   interval, and narrow intervals where the parent's values lie bring it closer to
 *   the exact posterior.
 *   <p>An unobserved equation node's value then holds one probability per interval
 *   ({@link #isValueDiscretized(int)} is true), and {@link #getNodeSampleStats(int)}
 *   fails with "Node <i>id</i> was discretized and has no samples".
 * </ul>
 *
 * <p>Default intervals. An equation node that has no intervals when it is needed as
 * a discrete variable gets two: on the discrete route above, in
 * {@link #probEvidence()}, when an arc makes it the parent of a node with outcomes
 * (whose table needs their count), and when an XMLBIF 0.3 file is written. They are
 * named "State0" and "State1"; "State1" ends at the upper bound and "State0" at the
 * middle of the bounds when both are finite; with only the lower bound finite, at
 * twice it when it is positive, at its opposite when it is negative, at 1 when it is
 * 0; with only the upper bound finite, at its opposite when it is positive, at twice
 * it when it is negative, at -1 when it is 0; at 0 when neither is finite. A constant
 * equation's bounds are first set to minus and plus infinity. Each time, "Equation
 * node <i>id</i> was discretized." is logged with code -19. The intervals then are
 * part of the node's definition: they stay after its evidence is cleared,
 * {@link #getNodeEquationDiscretization(int)} answers them and files keep them, and
 * intervals removed with {@link #setNodeEquationDiscretization(int,
 * DiscretizationInterval[])} come back the next time the node is needed as a
 * discrete variable. A new equation node's bounds are -1 and 1: default intervals on
 * them leave out almost every value of a node whose values lie elsewhere, and the
 * update succeeds all the same, on tables that left those values out (see
 * <a href="#discretized-tables">above</a>). With X = {@code Normal(10, 2)} and
 * Y = {@code X + Normal(0, 1)} on the default bounds, {@code setContEvidence("Y", 11)}
 * and {@link #updateBeliefs()} answer P(X) near (0.4, 0.6) over [-1, 0] and [0, 1]
 * (it varies with the draws): none of X's values fell within its bounds, so its own
 * column is uniform, and the rest comes from Y's table over those two intervals.
 * Nothing but the log tells: "Discretization problem in node X:  Overflow samples:
 * 10000, max=<i>v</i> hiBound=1  Total valid samples: 0 of 10000  CPT configs with no
 * valid samples: 1 of 1" with code -4, and a like line for Y. Bounds that hold the
 * equation's values avoid it; set them before the node is first discretized, as
 * changing the bounds later moves only the end of the last interval.
 *
 * <p>To keep control, either give every equation node that may be discretized bounds
 * that hold its values ({@link #setNodeEquationBounds(int, double, double)}) and
 * intervals of your own ({@link #setNodeEquationDiscretization(int,
 * DiscretizationInterval[])}), or keep to evidence that sampling accepts: observe
 * root nodes and nodes whose parents are observed or computed without random
 * generators, and give no virtual evidence. With X = Normal(10, 2) and
 * Y = X + Normal(0, 1), {@code setContEvidence("Y", 11)} takes the discrete route
 * (X is not known), while {@code setContEvidence("X", 11)} keeps sampling.
 *
 * <h2 id="temporal-types">Temporal types</h2>
 *
 * <table class="striped">
 * <caption>Temporal types ({@link #setNodeTemporalType(int, int)})</caption>
 * <thead><tr><th>Code</th><th>Name in files</th><th>Node</th></tr></thead>
 * <tbody>
 * <tr><td>0 ({@link TemporalType#NORMAL})</td>
 *   <td>"normal"</td><td>outside the plate: one node shared by all
 *   slices; the type of a new node</td></tr>
 * <tr><td>1 ({@link TemporalType#ANCHOR})</td>
 *   <td>"anchor"</td><td>outside the plate: a parent of plate nodes in
 *   slice 0 only</td></tr>
 * <tr><td>2 ({@link TemporalType#TERMINAL})</td>
 *   <td>"terminal"</td><td>outside the plate: a child of plate nodes of
 *   the last slice only</td></tr>
 * <tr><td>3 ({@link TemporalType#PLATE})</td>
 *   <td>"plate"</td><td>inside the plate: one copy per slice; the only
 *   type that takes part in temporal arcs</td></tr>
 * </tbody>
 * </table>
 *
 * <p>A plate node needs outcomes: an equation, utility or multi-attribute utility node
 * cannot be one. Making it one is refused with code -51 ("Node '<i>id</i>' cannot be a
 * plate node: its kind has no outcomes"), and so is giving a plate node such a kind.
 *
 * <h2 id="diagnostic-roles">Diagnostic roles</h2>
 *
 * <table class="striped">
 * <caption>Diagnostic roles ({@link #setNodeDiagType(int, int)})</caption>
 * <thead><tr><th>Code</th><th>Role</th></tr></thead>
 * <tbody>
 * <tr><td>0 ({@link DiagRole#TARGET})</td>
 *   <td>target: its fault outcomes are the faults of a
 *   {@link DiagNetwork}</td></tr>
 * <tr><td>1 ({@link DiagRole#OBSERVATION})</td>
 *   <td>observation: a test of a {@link DiagNetwork} once it is ranked
 *   ({@link #setRanked(int, boolean)}); a new node is not ranked</td></tr>
 * <tr><td>2 ({@link DiagRole#AUXILIARY})</td>
 *   <td>auxiliary: neither; the role of a new node</td></tr>
 * </tbody>
 * </table>
 *
 * <h2 id="files">File formats</h2>
 *
 * <p>{@link #readFile(String)} and {@link #writeFile(String)} choose the format by
 * the text after the last '.' of the name, compared without regard to case:
 *
 * <table class="striped">
 * <caption>File formats by extension</caption>
 * <thead><tr><th>Extension</th><th>Format</th></tr></thead>
 * <tbody>
 * <tr><td>xvrn, qvrn</td><td>the XML network file (also {@link #readString(String)}
 *   and {@link #writeString()})</td></tr>
 * <tr><td>vrn</td><td>the native text format</td></tr>
 * <tr><td>net</td><td>Hugin</td></tr>
 * <tr><td>dsc</td><td>MSBN</td></tr>
 * <tr><td>xml03</td><td>XMLBIF 0.3</td></tr>
 * <tr><td>erg</td><td>Ergo</td></tr>
 * <tr><td>dne</td><td>Netica</td></tr>
 * <tr><td>dxp</td><td>KI (written in the native text layout, which reads back
 *   as the native text format, not as KI; see {@link #writeFile(String)})</td></tr>
 * </tbody>
 * </table>
 *
 * <p>Any other name, such as one ending in ".xml" or ".bif", is refused with code
 * -2 and "Unknown File Format": rename an XMLBIF 0.3 file to ".xml03". A read
 * that fails leaves the network as it was.
 *
 * <p>The text formats are read leniently only where no node loses what the file gives
 * it: a statement the reader cannot use is logged, with "(line <i>n</i>) : " before the
 * message, and skipped, and reading goes on, as long as the skip passes nothing that
 * gives a node. So only comments, attributes and layout statements the reader does not
 * know or cannot read (such as a position that is not a pair of numbers), unknown
 * property blocks, a stray statement ended by its ';', text after an Ergo file's
 * sections that give the nodes, a TABLE given for an XMLBIF decision (which holds
 * none), and in an Ergo file an outcome count below 2 (read as 2) or a negative parent
 * count (read as 0) are skipped. A lone CR ends a line (and a comment) as LF and CR LF
 * do. The read fails when the file cannot be opened, its header is not of the format,
 * it ends inside a statement or, in the native text, Netica, MSBN and XMLBIF formats,
 * before its end ("}" or end tag; code -111; a Hugin or Ergo file, which has no end
 * mark, reads when cut between blocks or sections), or it would leave a node without
 * what the file gives it: a node it cannot make or whose kind or submodel it cannot
 * take, outcomes, levels or labels that do not fit the node, a parent it cannot find or
 * whose arc would close a cycle, an arc it cannot add, a table it cannot build as given
 * (such as a table of the wrong size, entries that are not numbers, utilities that are
 * not finite, a Hugin table given only by its model or by an undirected potential), or
 * a statement or element left unended or misplaced before one that gives a node or part
 * of one, which the skip would take with it (code -103, naming the node, or the line
 * and the statement). The skipped
 * statements are in the network's error log: a failing call's exception
 * message carries the log's messages, and {@link #redirectLog(String)} or
 * {@link #redirectLog(int)} sends every logged message to a file or a standard stream as it is logged, so a program sees what
 * a successful read skipped. Outcome names that are not valid identifiers are
 * repaired on reading: a bad first character gets an "x" before it, every later
 * character other than a letter, digit or '_' becomes '_', an empty name becomes
 * "x2", and a repaired name that another outcome of the node holds gets "_2",
 * "_3", ... appended.
 */
public final class Network extends Wrapper {
    /** Creates an empty network with the default settings. */
    public Network() {
        adopt(createNative(null), Network::deleteNative);
    }

    /** Makes the native network; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native network made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /** A diagnosis session on this network and the deletion of its native object. */
    private static final class DiagSession {
        final java.lang.ref.WeakReference<DiagNetwork> session;
        final DiagNetwork.Deletion deletion;

        DiagSession(DiagNetwork session, DiagNetwork.Deletion deletion) {
            this.session = new java.lang.ref.WeakReference<>(session);
            this.deletion = deletion;
        }
    }

    /** Diagnosis sessions on this network; closed before it is. */
    private final java.util.List<DiagSession> diagSessions = new java.util.ArrayList<>();

    /** Remembers a session so that closing the network closes it first. */
    void addDiagSession(DiagNetwork session, DiagNetwork.Deletion deletion) {
        synchronized (diagSessions) {
            diagSessions.removeIf(entry -> entry.deletion.isDone());
            diagSessions.add(new DiagSession(session, deletion));
        }
    }

    /**
     * Closes the diagnosis sessions on this network, then deletes the native network. Calling it
     * again does nothing.
     */
    @Override
    public void close() {
        java.util.List<DiagSession> sessions;
        synchronized (diagSessions) {
            sessions = new java.util.ArrayList<>(diagSessions);
            diagSessions.clear();
        }
        for (DiagSession entry : sessions) {
            DiagNetwork session = entry.session.get();
            if (session != null) {
                session.close();
            }
            // A session already unreachable may still wait for the cleaner; its native object
            // must not outlive the network it points into.
            entry.deletion.run();
        }
        super.close();
    }

    // -------- Files, strings and inference

    /**
     * Reads the network from a file, replacing its whole content. The format follows the text after
     * the last '.' of the name, compared without regard to case: "xvrn" and "qvrn" (XML), "vrn",
     * "erg", "dne", "dsc", "net", "xml03", and "dxp" (KI; written in the native text layout of
     * "vrn"). Numbers are read with the "C"
     * numeric conventions whatever the process locale. On failure the exception message carries the
     * messages the reader logged, and the network is left as it was. A name holding U+0000 is
     * refused. See <a href="#files">File formats</a> for what the text readers skip and repair. A
     * "dxp" file this library wrote is not KI: it reads back only when renamed to "vrn" (see
     * {@link #writeFile(String)}).
     *
     * @param file name of the file
     */
    public native void readFile(String file);

    /**
     * Reads the network from XML text, replacing its whole content.
     *
     * @param xml the network as XML text
     */
    public native void readString(String xml);

    /**
     * Writes the network to a file in the format that the name's extension selects (see
     * {@link #readFile(String)}). A name holding U+0000 is refused.
     *
     * <p>What a write answers success for reads back in its format with every node, less what the
     * list says the format drops. A format that cannot hold what reading needs refuses the write and leaves no
     * file; most refusals name the node, those of a whole network name none:
     * <ul>
     * <li>XML ("xvrn", "qvrn", and {@link #writeString()}): a truth table is kept as its resulting
     * outcomes, so one with a run that is not one 1 among 0s is refused (code -103, naming the
     * node; see {@link #setNodeDefinition(int, double[])}). A text that XML cannot carry, one
     * holding U+FFFE or U+FFFF (a name, comment, label, property, case text and the like), is
     * refused with code -103 and a message naming its node (or case, submodel, the network) and
     * the field: "Node 'X' cannot be written: its name holds ...". The file's layout block reads
     * a negative size as its absolute value, so a node, submodel or text box of a negative size
     * (but the int minimum) is refused (code -2, naming it); a control character other than TAB,
     * LF and CR in a text box caption, which XML cannot hold, is written as ".".
     * <li>Native text ("vrn", "dxp"): DeMorgan, noisy-adder and equation nodes keep only their
     * kind (and a noisy-adder its outcomes), so one whose parameters are not those its reader
     * makes by default (for an equation node, two intervals) is refused (code -2, naming the node
     * and the format); so is a node other than an equation node whose equation parent has another
     * number of intervals (code -2, naming both), as its table would not fit. Multi-attribute
     * utility nodes keep their weights, not their expressions: one whose expressions are not
     * exactly the weighted sums of its weights is refused (code -2, naming the node and the
     * format).
     * <li>Netica ("dne"): equations that cannot be solved for their node or call user-defined
     * functions, and interval bounds or point values that are not finite, are refused (code -2,
     * naming the node); a network with a multi-attribute utility node is refused without a node
     * named: "ERROR: This Network cannot be saved in Netica format" (code -2).
     * <li>XMLBIF ("xml03"): equation and multi-attribute utility nodes are refused (code -2,
     * naming the node). Hugin ("net") and MSBN ("dsc") refuse equation, CAST and DeMorgan nodes
     * naming the node ("ERROR: '<i>id</i>' : Node type not supported by Hugin", "... by MSBN"),
     * and a network with a multi-attribute utility node without a node named: "ERROR: This
     * Network cannot be saved in Hugin format", "ERROR: This Network cannot be saved in Microsotf
     * format" (code -2). Hugin's reader scales each column of a chance node's table to sum 1, so
     * a node with a column (of the expanded table it writes) whose sum misses 1 by more than 1e-4
     * is refused (code -2, naming the node and the format); node centres read back as written.
     * Ergo ("erg") refuses a network with any node that is not a CPT or a
     * truth table without a node named: "ERROR: This Network cannot be saved in Ergo format"
     * (code -2).
     * <li>Netica, XMLBIF, Hugin, MSBN and Ergo hold only full tables: a node whose table would
     * have more than 2^28 cells (such as a noisy-MAX of many parents) is refused before any table
     * is built (code -2, naming the node and the format). Native text and XML keep its parameters.
     * <li>Outcomes without identifiers (interval outcomes) are named "State0", "State1", ... in
     * every text format but Netica's, whose file keeps them unnamed with their intervals; reading
     * that file names them "State0", "State1", ... too. Of the text formats only Netica's keeps
     * intervals and point values.
     * <li>Every text format (all but XML) refuses a dynamic network (one with temporal nodes):
     * code -2, "ERROR: This network has temporal nodes and cannot be saved in <i>format</i>; only
     * the XML network file holds dynamic networks", and no file is left.
     * <li>Every text format writes a network with cases without its cases, answering success;
     * the file reads back as a network that has no cases. All but native text ("vrn", "dxp")
     * drop the submodels too, so their nodes read back in the main submodel.
     * </ul>
     *
     * <p>A "dxp" name writes the native text layout of "vrn", not KI, and leaves out more than a
     * "vrn" file does: a noisy-MAX node's PROBABILITIES hold its parameters in the Henrion form
     * ({@link #getNoisyHenrionDefinition(int)}), without the entries of the parents'
     * distinguished outcomes that the native text reader expects, so a noisy-MAX node that has
     * parents is refused (code -2, naming the node and the format); CAST nodes keep no
     * parameters, so one whose parameters are not the defaults is refused the same way;
     * diagnostic roles and the other diagnosis attributes of nodes are not written.
     *
     * <p>A text-format write cut short by the file system (a full disk, say) fails with code -101,
     * the exception message carrying "ERROR: Can't write the file <i>name</i>" ("ERROR: Writing
     * the file <i>name</i> failed" for native text); one whose file cannot be created fails with
     * code -101 and "OPEN FILE FAILED: <i>name</i>". The XML write fails with code -103 and "Error
     * writing file <i>name</i>" or "Can't open file <i>name</i> for writing".
     *
     * @param file name of the file
     */
    public native void writeFile(String file);

    /**
     * Writes the network as XML text.
     *
     * @return the XML text, including the layout block
     */
    public native String writeString();

    /**
     * Writes the network as XML text without the extension block that holds the graphical layout.
     *
     * @return the XML text without the layout block
     */
    public native String writeMinString();

    /**
     * Brings every node value up to date for the current evidence, with the algorithm the network
     * is set to use (see <a href="#algorithms">Algorithms</a>). On failure the exception message
     * carries the messages the algorithm logged.
     *
     * <p>A network with equation nodes is sampled when every observed node's parents are known
     * (observed, or equation nodes without random generators whose own parents are known) and no
     * node has virtual evidence. Otherwise its equation nodes are discretized, each node without
     * intervals getting two default intervals that it keeps, and the Bayesian-network algorithm
     * updates it: unobserved equation nodes then hold interval probabilities instead of samples.
     * <a href="#equation-updates">Networks with equation nodes</a> gives the rules and how to keep
     * control of the intervals.
     *
     * <p>Two things such an update leaves out answer success all the same. On the discrete route,
     * an equation node's values below or above its bounds (-1 and 1 on a new node) and its NaN
     * values are left out of its table, a parent configuration none of whose values fell within
     * the bounds gets equal probabilities, and only the error log reports it, with code -4
     * ("Discretization problem in node <i>id</i>: ..."; see {@link #redirectLog(String)}); bounds
     * that hold the equation's values avoid it (see <a href="#discretized-tables">how the tables
     * are made</a>). When sampling, values that are NaN or infinite stay among the node's samples
     * but out of its statistics (and out of {@link #getNodeValue(int)} when its finite samples
     * are all equal), and a chance node child counts only the draws in which they were finite
     * (see <a href="#non-finite-samples">non-finite samples</a>).
     *
     * <p>Evidence of a dynamic network is not checked across slices as it is set: evidence that the
     * model makes impossible (say outcomes of one node in two slices that no slice between can
     * link) is refused here with code -43, the message ending "The evidence is impossible: its
     * probability becomes zero with outcome [<i>o</i>] of node [<i>id</i>] in slice <i>s</i>" (or
     * "with the likelihoods of ..."): the observation with which the evidence, taken slice after
     * slice, first has probability zero. The evidence stays as set and no belief is valid.
     */
    public native void updateBeliefs();

    /**
     * Computes the probability of the current evidence. Any failure is reported with code -42;
     * among them a probability that is positive yet below the range of double precision numbers
     * (under 2.2e-308), which no double holds: the message says so. 0 is answered only for
     * impossible evidence.
     *
     * @return the probability of the evidence
     */
    public native double probEvidence();

    /**
     * Searches the most probable joint assignment of the MAP nodes given the evidence, by simulated
     * annealing. Of a dynamic network's slices after the first, only virtual evidence is used; their
     * observations are left out. A tuning the network accepts is kept for later searches.
     *
     * <p>A MAP node gets one outcome, so a plate node of a network of 2 or more slices, which has
     * one outcome per slice, cannot be one: it is refused with code -2 ("QELTA error -2 in function
     * AnnealedMAP"), the message carrying its reason ("Annealed MAP:
     * node [<i>id</i>] is a plate node in <i>n</i> slices: a MAP node gets one outcome, not one
     * per slice"). A node of the network {@link #unroll()} makes stands for one slice and can be
     * one.
     *
     * @param nodeHandles handles of the MAP nodes
     * @param tuning the tuning of the search, or null to use the tuning the network holds and a
     *     seed from the clock
     * @return the best assignment found and its probabilities
     */
    public native AnnealedMapResults annealedMap(int[] nodeHandles, AnnealedMapTuning tuning);

    /**
     * Same as {@link #annealedMap(int[], AnnealedMapTuning)}, with the nodes given by their
     * identifiers.
     *
     * @param nodeIds identifiers of the MAP nodes
     * @param tuning the tuning of the search, or null to use the tuning the network holds and a
     *     seed from the clock
     * @return the best assignment found and its probabilities
     */
    public native AnnealedMapResults annealedMap(String[] nodeIds, AnnealedMapTuning tuning);

    // -------- Settings

    /**
     * The seed of the network's random generator.
     *
     * @return the seed; 0 means a seed taken from the clock
     */
    public native int getRandSeed();

    /**
     * Sets the seed of the network's random generator. A generator already in use keeps its state.
     *
     * @param seed the new seed; 0 takes a seed from the clock
     */
    public native void setRandSeed(int seed);

    /**
     * The number of samples the sampling algorithms draw.
     *
     * @return the sample count
     */
    public native int getSampleCount();

    /**
     * Sets the number of samples the sampling algorithms draw. A count below 1 is ignored.
     *
     * @param count the new count
     */
    public native void setSampleCount(int count);

    /**
     * The number of samples drawn to discretize equation nodes.
     *
     * @return the sample count
     */
    public native int getDiscretizationSampleCount();

    /**
     * Sets the number of samples drawn to discretize equation nodes. A count below 1 is ignored.
     *
     * @param count the new count
     */
    public native void setDiscretizationSampleCount(int count);

    /**
     * Whether zero avoidance is enabled (it is on a new network).
     *
     * @return true when enabled
     */
    public native boolean isZeroAvoidanceEnabled();

    /**
     * Enables or disables zero avoidance.
     *
     * @param enabled true to enable
     */
    public native void setZeroAvoidanceEnabled(boolean enabled);

    /**
     * Whether outlier rejection is enabled (off on a new network).
     *
     * @return true when enabled
     */
    public native boolean isOutlierRejectionEnabled();

    /**
     * Enables or disables outlier rejection.
     *
     * @param enabled true to enable
     */
    public native void setOutlierRejectionEnabled(boolean enabled);

    /**
     * Whether noisy-MAX decomposition is enabled (off on a new network).
     *
     * @return true when enabled
     */
    public native boolean isNoisyDecompositionEnabled();

    /**
     * Enables or disables noisy-MAX decomposition.
     *
     * @param enabled true to enable
     */
    public native void setNoisyDecompositionEnabled(boolean enabled);

    /**
     * The parent count above which noisy-MAX nodes are decomposed (4 on a new network).
     *
     * @return the limit
     */
    public native int getNoisyDecompositionLimit();

    /**
     * Sets the parent count above which noisy-MAX nodes are decomposed.
     *
     * @param limit the new limit
     */
    public native void setNoisyDecompositionLimit(int limit);

    /**
     * The algorithm used to update beliefs in Bayesian networks
     * ({@link BayesianAlgorithm#CLUSTERING}, exact, on a new network).
     *
     * @return the algorithm code, one of {@link BayesianAlgorithm} (see
     *     <a href="#algorithms">Algorithms</a>)
     */
    public native int getBayesianAlgorithm();

    /**
     * Selects the algorithm used to update beliefs in Bayesian networks. A code that is not one of
     * {@link BayesianAlgorithm} is refused with {@link QELTAException#NO_CODE}, naming the
     * argument, the value and the codes allowed, and the setting stays.
     *
     * @param algorithm the algorithm code, one of {@link BayesianAlgorithm}, as the table of
     *     <a href="#algorithms">Algorithms</a> lists them with the routine each runs
     */
    public native void setBayesianAlgorithm(int algorithm);

    /**
     * The algorithm used to solve influence diagrams
     * ({@link InfluenceDiagramAlgorithm#WHOLE_DIAGRAM} on a new network).
     *
     * @return the algorithm code, one of {@link InfluenceDiagramAlgorithm} (see
     *     <a href="#algorithms">Algorithms</a>)
     */
    public native int getInfluenceDiagramAlgorithm();

    /**
     * Selects the algorithm used to solve influence diagrams. A code that is not one of
     * {@link InfluenceDiagramAlgorithm} is refused with {@link QELTAException#NO_CODE}, naming the
     * argument, the value and the codes allowed, and the setting stays.
     * {@link InfluenceDiagramAlgorithm#BEST_POLICY} refuses ("Can't solve this network using best
     * policy algorithm") a diagram whose
     * first open decision has a parent without evidence, and one with a multi-attribute utility
     * expression that is not a constant plus utilities times constants (such as {@code U1*U2});
     * it uses the other expressions as the weights and constants they amount to. It refuses with
     * code -26 a diagram in which an observation (or likelihoods) below the open decision leaves
     * it no choice of more than the lowest utility, naming the decision and the observed node, and
     * with code -2 one whose decisions all have evidence, saying so.
     *
     * @param algorithm {@link InfluenceDiagramAlgorithm#WHOLE_DIAGRAM} (0), which solves the whole
     *     diagram, or {@link InfluenceDiagramAlgorithm#BEST_POLICY} (1), which only names the best
     *     choice of the first open decision (see <a href="#algorithms">Algorithms</a>)
     */
    public native void setInfluenceDiagramAlgorithm(int algorithm);

    /**
     * The network's identifier.
     *
     * @return the identifier
     */
    public native String getId();

    /**
     * Sets the network's identifier, that of its main submodel. An identifier that a node or
     * another submodel carries is refused with code -32 under "SetId".
     *
     * @param id the new identifier: a letter, then letters, digits or underscores
     */
    public native void setId(String id);

    /**
     * The network's name.
     *
     * @return the name
     */
    public native String getName();

    /**
     * Sets the network's name.
     *
     * @param name the new name
     */
    public native void setName(String name);

    /**
     * The network's description.
     *
     * @return the description, or null when there is none
     */
    public native String getDescription();

    /**
     * Sets the network's description.
     *
     * @param description the new description
     */
    public native void setDescription(String description);

    // -------- Nodes

    /**
     * Adds a node. An identifier that a node or a submodel already holds is refused with code -2
     * (not -32, which {@link #setNodeId(int, String)} gives), one that is not an identifier with a
     * message that says so. A type that is not one of {@link NodeType} is refused with
     * {@link QELTAException#NO_CODE}, naming the argument, the value and the types allowed.
     *
     * @param type the definition type code, one of {@link NodeType}: {@link NodeType#EQUATION},
     *     {@link NodeType#UTILITY}, {@link NodeType#DECISION}, {@link NodeType#CPT},
     *     {@link NodeType#TRUTH_TABLE}, {@link NodeType#CAST}, {@link NodeType#DEMORGAN},
     *     {@link NodeType#NOISY_MAX}, {@link NodeType#NOISY_ADDER}, {@link NodeType#MAU} (see
     *     <a href="#node-types">Node types</a> for the outcomes and table a new node gets)
     * @param id the identifier of the new node; null lets the network make one
     * @return the handle of the new node (the lowest free one)
     */
    public native int addNode(int type, String id);

    /**
     * Adds a node with an identifier that the network makes.
     *
     * @param type the definition type code, one of {@link NodeType} (see
     *     {@link #addNode(int, String)})
     * @return the handle of the new node
     */
    public native int addNode(int type);

    /**
     * The type of the node's definition.
     *
     * @param nodeHandle handle of the node
     * @return the definition type code, one of {@link NodeType} (see
     *     <a href="#node-types">Node types</a>)
     */
    public native int getNodeType(int nodeHandle);

    /**
     * Same as {@link #getNodeType(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the definition type code, one of {@link NodeType}
     */
    public native int getNodeType(String nodeId);

    /**
     * Changes the type of the node's definition. Arcs the new type cannot keep are removed. A
     * change that would leave a text literal of an equation child (such as {@code "a0"} in
     * {@code Switch(A,"a0",0,10)}) naming no outcome of the node is refused, naming the child and
     * the literal, and changes nothing. When an arc to an equation child goes (a change to a
     * decision, utility or DeMorgan node removes it), the child gets a new equation, the sum of
     * its other parents' identifiers in parent order (0 when none remain, as in {@code E=0}),
     * as {@link #deleteArc(int, int)} describes. A type that is not one of {@link NodeType} is
     * refused with {@link QELTAException#NO_CODE}, naming the argument, the value and the types
     * allowed.
     *
     * @param nodeHandle handle of the node
     * @param type the new definition type code, one of {@link NodeType} (see
     *     <a href="#node-types">Node types</a>)
     */
    public native void setNodeType(int nodeHandle, int type);

    /**
     * Same as {@link #setNodeType(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param type the new definition type code, one of {@link NodeType}
     */
    public native void setNodeType(String nodeId, int type);

    /**
     * Deletes the node with all its arcs. The handles of the other nodes do not change. Each
     * equation child of the node gets a new equation, the sum of its other parents' identifiers
     * in parent order (0 when none remain, as in {@code E=0}), as {@link #deleteArc(int, int)}
     * describes.
     *
     * @param nodeHandle handle of the node
     */
    public native void deleteNode(int nodeHandle);

    /**
     * Same as {@link #deleteNode(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void deleteNode(String nodeId);

    /**
     * The number of nodes of the network.
     *
     * @return the number of nodes
     */
    public native int getNodeCount();

    /**
     * The first node, in handle order.
     *
     * @return the handle of the first node, or -1 when the network has no node
     */
    public native int getFirstNode();

    /**
     * The node that follows the given one in handle order. Deleted handles are skipped.
     *
     * @param nodeHandle handle of the node
     * @return the next handle, or -1 at the end
     */
    public native int getNextNode(int nodeHandle);

    /**
     * Finds a node by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the node's handle
     */
    public native int getNode(String nodeId);

    /**
     * The node's identifier.
     *
     * @param nodeHandle handle of the node
     * @return the identifier
     */
    public native String getNodeId(int nodeHandle);

    /**
     * Changes the node's identifier. An identifier that another node or a submodel carries is
     * refused by the network: the node keeps its identifier and the call fails with code -32.
     *
     * @param nodeHandle handle of the node
     * @param id the new identifier
     */
    public native void setNodeId(int nodeHandle, String id);

    /**
     * Same as {@link #setNodeId(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param id the new identifier
     */
    public native void setNodeId(String nodeId, String id);

    /**
     * The node's name.
     *
     * @param nodeHandle handle of the node
     * @return the name
     */
    public native String getNodeName(int nodeHandle);

    /**
     * Same as {@link #getNodeName(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the name
     */
    public native String getNodeName(String nodeId);

    /**
     * Sets the node's name.
     *
     * @param nodeHandle handle of the node
     * @param name the new name
     */
    public native void setNodeName(int nodeHandle, String name);

    /**
     * Same as {@link #setNodeName(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param name the new name
     */
    public native void setNodeName(String nodeId, String name);

    /**
     * The node's description.
     *
     * @param nodeHandle handle of the node
     * @return the description, or null when there is none
     */
    public native String getNodeDescription(int nodeHandle);

    /**
     * Same as {@link #getNodeDescription(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the description, or null when there is none
     */
    public native String getNodeDescription(String nodeId);

    /**
     * Sets the node's description.
     *
     * @param nodeHandle handle of the node
     * @param description the new description
     */
    public native void setNodeDescription(int nodeHandle, String description);

    /**
     * Same as {@link #setNodeDescription(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param description the new description
     */
    public native void setNodeDescription(String nodeId, String description);

    /**
     * The handles of all nodes, in increasing order.
     *
     * @return the node handles
     */
    public native int[] getAllNodes();

    /**
     * The identifiers of all nodes, in handle order.
     *
     * @return the node identifiers
     */
    public native String[] getAllNodeIds();

    // -------- Arcs and outcomes

    /**
     * Adds an arc from the parent to the child. An arc that would close a cycle fails with code
     * -11; the exception message carries the reasons the network logged.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     */
    public native void addArc(int parentHandle, int childHandle);

    /**
     * Same as {@link #addArc(int, int)}, with the parent and the child given by their identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     */
    public native void addArc(String parentId, String childId);

    /**
     * Removes the arc from the parent to the child.
     *
     * <p>An equation child does not keep its equation: it gets a new one, the sum of its other
     * parents' identifiers in parent order, or {@code E=0} when no parent remains, whatever it
     * held before. With parents B and A, {@code E=B*3+Switch(A,"a0",1,"a1",2)} becomes
     * {@code E=B} when A goes, and {@code E=5+Switch(A,"a0",1,"a1",2)} with the parent A alone
     * becomes {@code E=0}; {@link #setNodeEquation(int, String)} sets the one wanted afterwards.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     */
    public native void deleteArc(int parentHandle, int childHandle);

    /**
     * Same as {@link #deleteArc(int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     */
    public native void deleteArc(String parentId, String childId);

    /**
     * The number of outcomes of the node.
     *
     * @param nodeHandle handle of the node
     * @return the number of outcomes, or -51 for a node without outcomes
     */
    public native int getOutcomeCount(int nodeHandle);

    /**
     * Same as {@link #getOutcomeCount(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the number of outcomes, or -51 for a node without outcomes
     */
    public native int getOutcomeCount(String nodeId);

    /**
     * Appends an outcome to the node.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId the identifier of the new outcome
     */
    public native void addOutcome(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #addOutcome(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeId the identifier of the new outcome
     */
    public native void addOutcome(String nodeId, String outcomeId);

    /**
     * Inserts an outcome at the given position. A node with intervals ({@link #setIntervals(int,
     * double[], boolean)}) splits the interval at that position (the last one when appending) at
     * its middle, the new outcome taking the lower half, or the upper half when appended. A split
     * that would leave intervals {@code setIntervals} refuses (the middle of an interval with an
     * infinite end is that end, so a third bound equal to two others; the middle of minus and plus
     * infinity is not a number) is refused with code -4 and leaves the node as it was; so is
     * {@link #addOutcome(int, String)}. Among outcomes without identifiers, an empty text literal
     * of an equation child (such as {@code ""} in {@code If(A="",0,10)}) selects the first one: an
     * insert at position 0, which would give it another outcome, fails naming the child and the
     * literal, and changes nothing.
     *
     * @param nodeHandle handle of the node
     * @param position index the new outcome takes
     * @param outcomeId the identifier of the new outcome
     */
    public native void insertOutcome(int nodeHandle, int position, String outcomeId);

    /**
     * Same as {@link #insertOutcome(int, int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param position index the new outcome takes
     * @param outcomeId the identifier of the new outcome
     */
    public native void insertOutcome(String nodeId, int position, String outcomeId);

    /**
     * Deletes an outcome of the node. An outcome that a text literal of an equation child names
     * (such as {@code "a0"} in {@code Switch(A,"a0",0,10)} or {@code If(A="a0",0,10)}) is not
     * deleted: the call fails naming the child and the literal, and changes nothing.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     */
    public native void deleteOutcome(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #deleteOutcome(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     */
    public native void deleteOutcome(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #deleteOutcome(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     */
    public native void deleteOutcome(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #deleteOutcome(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     */
    public native void deleteOutcome(String nodeId, String outcomeId);

    /**
     * Renames an outcome. Text literals of the equation children that name the outcome take the
     * new identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param id the new outcome identifier
     */
    public native void setOutcomeId(int nodeHandle, int outcomeIndex, String id);

    /**
     * Same as {@link #setOutcomeId(int, int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param id the new outcome identifier
     */
    public native void setOutcomeId(String nodeId, int outcomeIndex, String id);

    /**
     * Replaces the node's outcome list, adding, removing and reordering outcomes in one step. New
     * outcome j continues old outcome {@code mapping[j]}, with its table entries, or is
     * a new outcome when {@code mapping[j]} is negative; old outcomes that no entry names are
     * removed. Each old outcome may be named once, and the node keeps at least two outcomes. For a
     * new node's outcomes, pass a mapping of -1s. Text literals of the equation children follow
     * the outcomes they name to their new identifiers; a list that removes an outcome one of them
     * names is refused, naming the child and the literal, before anything changes.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIds the new outcome identifiers, in order
     * @param mapping for each new outcome, the index of the old outcome it continues, or -1
     */
    public native void setOutcomes(int nodeHandle, String[] outcomeIds, int[] mapping);

    /**
     * Same as {@link #setOutcomes(int, String[], int[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIds the new outcome identifiers, in order
     * @param mapping for each new outcome, the index of the old outcome it continues, or -1
     */
    public native void setOutcomes(String nodeId, String[] outcomeIds, int[] mapping);

    // -------- Node values

    /**
     * The node's value after {@link #updateBeliefs()}: for a chance node its posterior
     * probabilities, for decision and utility nodes the expected utilities, indexed by the nodes of
     * {@link #getValueIndexingParents(int)} first; for a plate node one row per time slice (not
     * valid when the solver of a dynamic influence diagram indexes its slices). For an
     * equation node, its samples, NaN and infinite ones included, or their finite samples' mean
     * alone when those are all equal (the NaN and infinite samples then left out), or one
     * probability per interval when the node was discretized (see
     * <a href="#non-finite-samples">non-finite samples</a>). Fails when the value is not valid. The
     * layouts are given in full under <a href="#values">Node values</a>.
     *
     * @param nodeHandle handle of the node
     * @return the value's items, last dimension fastest
     */
    public native double[] getNodeValue(int nodeHandle);

    /**
     * Same as {@link #getNodeValue(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the value's items, last dimension fastest
     */
    public native double[] getNodeValue(String nodeId);

    /**
     * The mean of the node's value: of its outcome values (or intervals) under its probabilities.
     * Point values ({@link #setPointValues(int, double[])}) count as given. An interval between
     * two finite bounds counts at its midpoint. An unbounded first interval (-inf, b] counts as the
     * mean of a half-normal tail below b, b - s * sqrt(2 / pi), whose density at b equals the
     * uniform density of its neighbour [b, c]: s = p0 * sqrt(2 / pi) * (c - b) / p1 with p0 and p1
     * the two intervals' probabilities (s = sqrt(2 / pi) * (c - b) when p1 is 0; s = 2 * p0 when
     * the neighbour is unbounded too); an unbounded last interval mirrors it above its bound. A
     * chance or decision node with neither point values nor intervals has no mean: it fails with -3
     * ("QELTA error -3 in function GetMean"), and so does {@link #getNodeStdDev(int)}.
     * A decision's value gives a mean only when it holds probabilities: after influence-diagram
     * algorithm 1, the point mass at the best choice, or once the decision is observed, the point
     * mass at its choice. After algorithm 0 an open decision's value holds the expected utilities
     * of its choices, and the call fails with code -51, the message giving the reason; so does it for a utility
     * node. A mean that is not a finite number (beyond the doubles, or NaN) fails with code -4.
     *
     * @param nodeHandle handle of the node
     * @return the mean
     */
    public native double getNodeMean(int nodeHandle);

    /**
     * Same as {@link #getNodeMean(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the mean
     */
    public native double getNodeMean(String nodeId);

    /**
     * The standard deviation of the node's value. It fails for the nodes that
     * {@link #getNodeMean(int)} fails for: a decision whose value holds expected utilities (code
     * -51, the message giving the reason) and a utility node, and with code -4 when the deviation is not a
     * finite number. Values up to the largest double give their deviation without overflow.
     *
     * @param nodeHandle handle of the node
     * @return the standard deviation
     */
    public native double getNodeStdDev(int nodeHandle);

    /**
     * Same as {@link #getNodeStdDev(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the standard deviation
     */
    public native double getNodeStdDev(String nodeId);

    /**
     * Whether the node's value is up to date.
     *
     * @param nodeHandle handle of the node
     * @return true when valid
     */
    public native boolean isValueValid(int nodeHandle);

    /**
     * Same as {@link #isValueValid(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when valid
     */
    public native boolean isValueValid(String nodeId);

    /**
     * Whether the equation node's value was computed in discretized form (then it holds interval
     * probabilities instead of samples).
     *
     * @param nodeHandle handle of the node
     * @return true when discretized
     */
    public native boolean isValueDiscretized(int nodeHandle);

    /**
     * Same as {@link #isValueDiscretized(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when discretized
     */
    public native boolean isValueDiscretized(String nodeId);

    /**
     * The statistics of the equation node's samples, taken over its finite samples only (samples
     * that are NaN or infinite stay in {@link #getNodeValue(int)}; see
     * <a href="#non-finite-samples">non-finite samples</a>). A node whose value is not valid fails
     * with "Value of node <i>id</i> is not valid"; one that the last update discretized
     * ({@link #isValueDiscretized(int)}; see <a href="#equation-updates">Networks with equation
     * nodes</a>) has no samples and fails with "Node <i>id</i> was discretized and has no
     * samples".
     *
     * @param nodeHandle handle of the node
     * @return mean, standard deviation, minimum and maximum
     */
    public native double[] getNodeSampleStats(int nodeHandle);

    /**
     * Same as {@link #getNodeSampleStats(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return mean, standard deviation, minimum and maximum
     */
    public native double[] getNodeSampleStats(String nodeId);

    /**
     * A histogram of the equation node's finite samples over binCount equal bins of [low, high];
     * samples outside the range count in the first or last bin.
     *
     * @param nodeHandle handle of the node
     * @param low lower end of the range
     * @param high upper end of the range
     * @param binCount the number of bins, 2 or more
     * @return the number of samples in each bin
     */
    public native int[] getNodeSampleHistogram(
            int nodeHandle, double low, double high, int binCount);

    /**
     * Same as {@link #getNodeSampleHistogram(int, double, double, int)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param low lower end of the range
     * @param high upper end of the range
     * @param binCount the number of bins, 2 or more
     * @return the number of samples in each bin
     */
    public native int[] getNodeSampleHistogram(
            String nodeId, double low, double high, int binCount);

    /**
     * The nodes that index the node's value, in the order of the value's dimensions: in an
     * influence diagram, the decisions and parents of decisions without evidence that the value
     * depends on, in decision order. The value holds one row per configuration of these nodes, the
     * last of them varying fastest (see <a href="#values">Node values</a>).
     *
     * @param nodeHandle handle of the node
     * @return the handles of the indexing nodes; empty when the value has one row
     */
    public native int[] getValueIndexingParents(int nodeHandle);

    /**
     * Same as {@link #getValueIndexingParents(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the handles of the indexing nodes
     */
    public native int[] getValueIndexingParents(String nodeId);

    /**
     * The identifiers of the nodes that index the node's value.
     *
     * @param nodeHandle handle of the node
     * @return the identifiers of the indexing nodes
     */
    public native String[] getValueIndexingParentIds(int nodeHandle);

    /**
     * Same as {@link #getValueIndexingParentIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the identifiers of the indexing nodes
     */
    public native String[] getValueIndexingParentIds(String nodeId);

    // -------- Definitions, parents and children

    /**
     * Sets the node's table: the CPT, truth table, utility table, noisy-MAX or noisy-adder
     * parameters, or multi-attribute utility weights. For a CPT each run of the node's outcome
     * count holds one distribution, runs ordered by the parents' outcomes with the last parent
     * fastest. The array must have the table's size; the values are not checked here: belief
     * updating normalises each distribution to sum 1 and fails
     * with code -2 ("Node [<i>id</i>] has a negative or non-finite probability in its table") when
     * an entry is negative, infinite or NaN. Noisy-MAX parameters are probabilities: a parameter
     * that is NaN, infinite or outside [0, 1] is refused here with code -4 ("Parameters of node
     * '<i>id</i>' must lie in [0, 1]"), and the parameters stay as they were.
     *
     * <p>Multi-attribute utility weights: one weight per utility parent (utility and
     * multi-attribute utility parents, in parent order) for each configuration of the decision
     * parents (in parent order, the last fastest), the weights of one configuration together,
     * whatever the order of decision and utility parents in the parent list. In weights mode the
     * node's expected utility under a configuration is the sum of each weight times its parent's
     * expected utility: with decision parent D of two choices and utility parents A and B, the
     * array is {w(D<sub>0</sub>, A), w(D<sub>0</sub>, B), w(D<sub>1</sub>, A),
     * w(D<sub>1</sub>, B)}. A new utility parent gets the weight 1 in every configuration, and the
     * weights of a new decision parent's choices repeat the former ones. In expression mode
     * ({@link #setMauExpressions(int, String[])}) the weights are kept, and may be set, but the
     * expressions compute the utility; installing expressions sets every weight to 1.
     *
     * <p>A truth table takes any numbers, laid out as a CPT's; its own edits (outcomes, parents,
     * randomization) keep every run one 1 among 0s. The XML file ({@link #writeFile(String)} with
     * "xvrn" or "qvrn", and {@link #writeString()}) keeps a truth table as one resulting outcome per
     * parent configuration, so writing a network whose truth table has a run that is not one 1
     * among 0s fails with code -103 and a message naming the node, and leaves no file. The native
     * text ("vrn", "dxp") and Netica ("dne") files write the numbers of such a table and read them
     * back as a truth table; the other text formats write every truth table as its numbers (Hugin
     * "net" refuses one with a run that does not sum to 1; see {@link #writeFile(String)}).
     *
     * @param nodeHandle handle of the node
     * @param definition the table's items, last dimension fastest
     */
    public native void setNodeDefinition(int nodeHandle, double[] definition);

    /**
     * Same as {@link #setNodeDefinition(int, double[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param definition the table's items, last dimension fastest
     */
    public native void setNodeDefinition(String nodeId, double[] definition);

    /**
     * The node's table (see {@link #setNodeDefinition(int, double[])}). For noisy-MAX and
     * noisy-adder nodes these are the parameters, not the CPT computed from them.
     *
     * @param nodeHandle handle of the node
     * @return the table's items, last dimension fastest
     */
    public native double[] getNodeDefinition(int nodeHandle);

    /**
     * Same as {@link #getNodeDefinition(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the table's items, last dimension fastest
     */
    public native double[] getNodeDefinition(String nodeId);

    /**
     * The node's parents, in the order of the table's dimensions.
     *
     * @param nodeHandle handle of the node
     * @return the parents' handles
     */
    public native int[] getParents(int nodeHandle);

    /**
     * Same as {@link #getParents(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the parents' handles
     */
    public native int[] getParents(String nodeId);

    /**
     * The identifiers of the node's parents, in parent order.
     *
     * @param nodeHandle handle of the node
     * @return the parents' identifiers
     */
    public native String[] getParentIds(int nodeHandle);

    /**
     * Same as {@link #getParentIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the parents' identifiers
     */
    public native String[] getParentIds(String nodeId);

    /**
     * The node's children.
     *
     * @param nodeHandle handle of the node
     * @return the children's handles
     */
    public native int[] getChildren(int nodeHandle);

    /**
     * Same as {@link #getChildren(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the children's handles
     */
    public native int[] getChildren(String nodeId);

    /**
     * The identifiers of the node's children.
     *
     * @param nodeHandle handle of the node
     * @return the children's identifiers
     */
    public native String[] getChildIds(int nodeHandle);

    /**
     * Same as {@link #getChildIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the children's identifiers
     */
    public native String[] getChildIds(String nodeId);

    // -------- Outcome identifiers, point values and intervals

    /**
     * The identifier of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the outcome identifier
     */
    public native String getOutcomeId(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeId(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the outcome identifier
     */
    public native String getOutcomeId(String nodeId, int outcomeIndex);

    /**
     * The identifiers of the node's outcomes. Utility, multi-attribute utility and equation nodes
     * have no outcomes (see <a href="#node-types">Node types</a>: a type code without bit 16), so
     * for them the call fails with "NULL array returned from GetOutcomesNames". An equation node's
     * discretization intervals, which stand for outcomes in discrete algorithms, are given by
     * {@link #getNodeEquationDiscretization(int)}.
     *
     * @param nodeHandle handle of the node
     * @return the outcome identifiers, in outcome order
     */
    public native String[] getOutcomeIds(int nodeHandle);

    /**
     * Same as {@link #getOutcomeIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the outcome identifiers, in outcome order
     */
    public native String[] getOutcomeIds(String nodeId);

    /**
     * Whether the outcomes have identifiers (outcomes given by intervals may have none).
     *
     * @param nodeHandle handle of the node
     * @return true when the outcomes have identifiers
     */
    public native boolean hasOutcomeIds(int nodeHandle);

    /**
     * Same as {@link #hasOutcomeIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when the outcomes have identifiers
     */
    public native boolean hasOutcomeIds(String nodeId);

    /**
     * Whether the outcomes stand for numbers (one point value per outcome).
     *
     * @param nodeHandle handle of the node
     * @return true when point values are set
     */
    public native boolean hasPointValues(int nodeHandle);

    /**
     * Same as {@link #hasPointValues(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when point values are set
     */
    public native boolean hasPointValues(String nodeId);

    /**
     * The point values of the outcomes.
     *
     * @param nodeHandle handle of the node
     * @return one number per outcome
     */
    public native double[] getPointValues(int nodeHandle);

    /**
     * Same as {@link #getPointValues(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return one number per outcome
     */
    public native double[] getPointValues(String nodeId);

    /**
     * Makes the outcomes stand for numbers; any intervals are removed. A value that is not a
     * finite number is refused (-4). A CAST or DeMorgan node keeps them in memory only: the XML
     * file ({@code .xvrn}, and the string form) has no place for them, and the node reads back
     * without them.
     *
     * @param nodeHandle handle of the node
     * @param values one number per outcome
     */
    public native void setPointValues(int nodeHandle, double[] values);

    /**
     * Same as {@link #setPointValues(int, double[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param values one number per outcome
     */
    public native void setPointValues(String nodeId, double[] values);

    /**
     * Removes the point values of the outcomes.
     *
     * @param nodeHandle handle of the node
     */
    public native void removePointValues(int nodeHandle);

    /**
     * Same as {@link #removePointValues(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void removePointValues(String nodeId);

    /**
     * Whether the outcomes are numeric intervals.
     *
     * @param nodeHandle handle of the node
     * @return true when intervals are set
     */
    public native boolean hasIntervals(int nodeHandle);

    /**
     * Same as {@link #hasIntervals(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when intervals are set
     */
    public native boolean hasIntervals(String nodeId);

    /**
     * The interval bounds of the outcomes: outcome i is the interval from bound i to bound i + 1.
     *
     * @param nodeHandle handle of the node
     * @return the interval bounds, one more than the outcomes
     */
    public native double[] getIntervals(int nodeHandle);

    /**
     * Same as {@link #getIntervals(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the interval bounds, one more than the outcomes
     */
    public native double[] getIntervals(String nodeId);

    /**
     * Makes the outcomes numeric intervals; any point values are removed. Bounds for a different
     * number of outcomes first change the outcome count. Clearing the identifiers of a node whose
     * outcome a stored case observes is refused with code -51, the node unchanged: files name
     * that outcome by its identifier. A CAST or DeMorgan node keeps the intervals, and cleared
     * identifiers, in memory only: the XML file ({@code .xvrn}, and the string form) has no
     * place for them, and the node reads back without intervals, with its outcomes "True" and
     * "False".
     *
     * @param nodeHandle handle of the node
     * @param bounds the non-decreasing bounds, one more than the outcomes
     * @param clearIds true to make the outcome identifiers empty
     */
    public native void setIntervals(int nodeHandle, double[] bounds, boolean clearIds);

    /**
     * Same as {@link #setIntervals(int, double[], boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param bounds the non-decreasing bounds, one more than the outcomes
     * @param clearIds true to make the outcome identifiers empty
     */
    public native void setIntervals(String nodeId, double[] bounds, boolean clearIds);

    /**
     * Removes the interval bounds of the outcomes. Outcomes without identifiers get generated ones.
     *
     * @param nodeHandle handle of the node
     */
    public native void removeIntervals(int nodeHandle);

    /**
     * Same as {@link #removeIntervals(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void removeIntervals(String nodeId);

    // -------- Evidence and targets

    /**
     * Marks or unmarks the node as a target of belief updating. Marking a target, or unmarking a
     * node that is not one, fails.
     *
     * <p>While some node is a target, {@link #updateBeliefs()} computes the targets only (with
     * none, every node). A node that is not a target keeps the value of an earlier update while no
     * edit since could have changed it; otherwise it is not valid ({@link #isValueValid(int)} is
     * false and reading its value fails) until an update computes it. With relevance reasoning off
     * (see {@link #setRelevanceEnabled(boolean)}), an update after an edit of the model or the
     * evidence leaves every node that is not a target and has no evidence not valid.
     *
     * @param nodeHandle handle of the node
     * @param target true to mark, false to unmark
     */
    public native void setTarget(int nodeHandle, boolean target);

    /**
     * Same as {@link #setTarget(int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param target true to mark, false to unmark
     */
    public native void setTarget(String nodeId, boolean target);

    /**
     * Whether the node is a target.
     *
     * @param nodeHandle handle of the node
     * @return true when the node is a target
     */
    public native boolean isTarget(int nodeHandle);

    /**
     * Same as {@link #isTarget(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when the node is a target
     */
    public native boolean isTarget(String nodeId);

    /**
     * Unmarks every target.
     */
    public native void clearAllTargets();

    /**
     * Observes an outcome of the node. Earlier observed and virtual evidence of the node is
     * replaced. Utility, multi-attribute utility and equation nodes have no outcomes and take no
     * outcome evidence: any index is refused with "Invalid outcome index <i>i</i> for node
     * '<i>id</i>', valid indices are 0..-1". Observe an equation node's value with
     * {@link #setContEvidence(int, double)}; utility and multi-attribute utility nodes take no
     * evidence at all.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     */
    public native void setEvidence(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #setEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     */
    public native void setEvidence(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #setEvidence(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     */
    public native void setEvidence(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #setEvidence(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     */
    public native void setEvidence(String nodeId, String outcomeId);

    /**
     * Sets virtual evidence: one likelihood per outcome. Observed evidence of the node is removed.
     *
     * @param nodeHandle handle of the node
     * @param likelihoods one likelihood in [0, 1] per outcome, not all 0
     */
    public native void setVirtualEvidence(int nodeHandle, double[] likelihoods);

    /**
     * Same as {@link #setVirtualEvidence(int, double[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param likelihoods one likelihood in [0, 1] per outcome, not all 0
     */
    public native void setVirtualEvidence(String nodeId, double[] likelihoods);

    /**
     * The node's virtual evidence.
     *
     * @param nodeHandle handle of the node
     * @return one likelihood per outcome
     */
    public native double[] getVirtualEvidence(int nodeHandle);

    /**
     * Same as {@link #getVirtualEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return one likelihood per outcome
     */
    public native double[] getVirtualEvidence(String nodeId);

    /**
     * The outcome that is observed, or implied by other evidence, for the node.
     *
     * @param nodeHandle handle of the node
     * @return the outcome index
     */
    public native int getEvidence(int nodeHandle);

    /**
     * Same as {@link #getEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the outcome index
     */
    public native int getEvidence(String nodeId);

    /**
     * The identifier of the outcome observed, or implied by other evidence, for the node.
     *
     * @param nodeHandle handle of the node
     * @return the outcome identifier
     */
    public native String getEvidenceId(int nodeHandle);

    /**
     * Same as {@link #getEvidenceId(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the outcome identifier
     */
    public native String getEvidenceId(String nodeId);

    /**
     * Whether the node has observed or implied evidence (virtual evidence does not count).
     *
     * @param nodeHandle handle of the node
     * @return true when the node has evidence
     */
    public native boolean isEvidence(int nodeHandle);

    /**
     * Same as {@link #isEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when the node has evidence
     */
    public native boolean isEvidence(String nodeId);

    /**
     * Whether evidence was observed for the node.
     *
     * @param nodeHandle handle of the node
     * @return true when observed
     */
    public native boolean isRealEvidence(int nodeHandle);

    /**
     * Same as {@link #isRealEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when observed
     */
    public native boolean isRealEvidence(String nodeId);

    /**
     * Whether the node's evidence is implied by other evidence.
     *
     * @param nodeHandle handle of the node
     * @return true when implied
     */
    public native boolean isPropagatedEvidence(int nodeHandle);

    /**
     * Same as {@link #isPropagatedEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when implied
     */
    public native boolean isPropagatedEvidence(String nodeId);

    /**
     * Whether the node has virtual evidence.
     *
     * @param nodeHandle handle of the node
     * @return true when the node has virtual evidence
     */
    public native boolean isVirtualEvidence(int nodeHandle);

    /**
     * Same as {@link #isVirtualEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when the node has virtual evidence
     */
    public native boolean isVirtualEvidence(String nodeId);

    /**
     * Removes the node's observed evidence, or, when there is none, its virtual evidence.
     *
     * @param nodeHandle handle of the node
     */
    public native void clearEvidence(int nodeHandle);

    /**
     * Same as {@link #clearEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void clearEvidence(String nodeId);

    /**
     * Removes all evidence of the network.
     */
    public native void clearAllEvidence();

    /**
     * Observes a number: the value of an equation node, or, for a node whose outcomes are
     * intervals, the outcome whose interval holds it. Utility and multi-attribute utility nodes
     * take no evidence (code -51).
     *
     * <p>In a network with equation nodes, evidence decides how {@link #updateBeliefs()} works: it
     * samples only while every observed node's parents are known (observed, or equation nodes
     * without random generators whose parents are known). Evidence on a node with a parent that
     * is not known, such as a child of an equation node that calls {@code Normal}, makes it
     * discretize the equation nodes instead: a parent then holds probabilities over its intervals,
     * two default ones "State0" and "State1" when it had none, which it keeps after the evidence
     * is cleared, and {@link #getNodeSampleStats(int)} fails for it. See
     * <a href="#equation-updates">Networks with equation nodes</a>.
     *
     * <p>A refused number leaves the node's evidence as it was. The refusals, each under the
     * name "SetEvidence" ("QELTA error <i>code</i> in function SetEvidence. " and the text):
     * <ul>
     * <li>-3, a chance node whose outcomes are not intervals, such as a CPT node without
     *   {@link #setIntervals(int, double[], boolean)}: "Node '<i>id</i>' has no intervals: a
     *   number is observed only on an equation node or on a node whose outcomes are intervals
     *   (setIntervals)";
     * <li>-2, a number (or NaN) that no interval holds: "No interval of node '<i>id</i>' holds
     *   <i>number</i>"; also, without that text, an outcome that the observed parents make
     *   impossible;
     * <li>-4, a NaN or infinite number on an equation node: "Node '<i>id</i>' takes only a finite
     *   number";
     * <li>-51, a utility or multi-attribute utility node: "Node '<i>id</i>' takes no evidence".
     * </ul>
     *
     * @param nodeHandle handle of the node
     * @param value the observed number
     */
    public native void setContEvidence(int nodeHandle, double value);

    /**
     * Same as {@link #setContEvidence(int, double)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param value the observed number
     */
    public native void setContEvidence(String nodeId, double value);

    /**
     * The number observed for the node.
     *
     * @param nodeHandle handle of the node
     * @return the observed number
     */
    public native double getContEvidence(int nodeHandle);

    /**
     * Same as {@link #getContEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the observed number
     */
    public native double getContEvidence(String nodeId);

    // -------- Noisy-MAX parameters

    /**
     * Sets the order of a parent's outcomes by strength.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param strengths a permutation of the parent's outcome indices
     */
    public native void setNoisyParentStrengths(int nodeHandle, int parentIndex, int[] strengths);

    /**
     * Same as {@link #setNoisyParentStrengths(int, int, int[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param strengths a permutation of the parent's outcome indices
     */
    public native void setNoisyParentStrengths(String nodeId, int parentIndex, int[] strengths);

    /**
     * Same as {@link #setNoisyParentStrengths(int, int, int[])}, with the parent given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @param strengths a permutation of the parent's outcome indices
     */
    public native void setNoisyParentStrengths(int nodeHandle, String parentId, int[] strengths);

    /**
     * Same as {@link #setNoisyParentStrengths(int, int, int[])}, with the node and the parent given
     * by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @param strengths a permutation of the parent's outcome indices
     */
    public native void setNoisyParentStrengths(String nodeId, String parentId, int[] strengths);

    /**
     * The order of a parent's outcomes by strength.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the parent's outcome indices, ordered by strength
     */
    public native int[] getNoisyParentStrengths(int nodeHandle, int parentIndex);

    /**
     * Same as {@link #getNoisyParentStrengths(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the parent's outcome indices, ordered by strength
     */
    public native int[] getNoisyParentStrengths(String nodeId, int parentIndex);

    /**
     * Same as {@link #getNoisyParentStrengths(int, int)}, with the parent given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @return the parent's outcome indices, ordered by strength
     */
    public native int[] getNoisyParentStrengths(int nodeHandle, String parentId);

    /**
     * Same as {@link #getNoisyParentStrengths(int, int)}, with the node and the parent given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @return the parent's outcome indices, ordered by strength
     */
    public native int[] getNoisyParentStrengths(String nodeId, String parentId);

    /**
     * The CPT computed from the noisy-MAX parameters, as inference uses it.
     *
     * @param nodeHandle handle of the node
     * @return the CPT's items, last dimension fastest
     */
    public native double[] getNoisyExpandedDefinition(int nodeHandle);

    /**
     * Same as {@link #getNoisyExpandedDefinition(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the CPT's items, last dimension fastest
     */
    public native double[] getNoisyExpandedDefinition(String nodeId);

    /**
     * The noisy-MAX parameters in the Henrion form.
     *
     * @param nodeHandle handle of the node
     * @return the parameters in the Henrion form
     */
    public native double[] getNoisyHenrionDefinition(int nodeHandle);

    /**
     * Same as {@link #getNoisyHenrionDefinition(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the parameters in the Henrion form
     */
    public native double[] getNoisyHenrionDefinition(String nodeId);

    /**
     * Sets the noisy-MAX parameters from their Henrion form.
     *
     * @param nodeHandle handle of the node
     * @param probabilities the parameters in the Henrion form
     */
    public native void setNoisyHenrionDefinition(int nodeHandle, double[] probabilities);

    /**
     * Same as {@link #setNoisyHenrionDefinition(int, double[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param probabilities the parameters in the Henrion form
     */
    public native void setNoisyHenrionDefinition(String nodeId, double[] probabilities);

    /**
     * Kept for compatibility; the node is not checked.
     *
     * @param nodeHandle handle of the node
     * @return always true
     */
    public native boolean isNoisyExpanded(int nodeHandle);

    /**
     * Same as {@link #isNoisyExpanded(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return always true
     */
    public native boolean isNoisyExpanded(String nodeId);

    /**
     * Kept for compatibility; the node is not checked.
     *
     * @param nodeHandle handle of the node
     * @return always true
     */
    public native boolean isNoisySynchronized(int nodeHandle);

    /**
     * Same as {@link #isNoisySynchronized(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return always true
     */
    public native boolean isNoisySynchronized(String nodeId);

    /**
     * Kept for compatibility; does nothing.
     *
     * @param nodeHandle handle of the node
     * @param synced ignored
     */
    public native void setNoisySynchronized(int nodeHandle, boolean synced);

    /**
     * Same as {@link #setNoisySynchronized(int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param synced ignored
     */
    public native void setNoisySynchronized(String nodeId, boolean synced);

    // -------- Equation nodes

    /**
     * Sets the equation of an equation node, written in the
     * <a href="package-summary.html#expressions">expression language</a> (operators, built-in
     * functions, user-defined functions of {@link #setExtFunctions(String[])}). The text is
     * "left = right", usually "id = expression" such as {@code y = 2*x + Normal(0, 1)}; its names
     * are node identifiers, and the node's parents become exactly the other nodes it names. An
     * equation in another arrangement ({@code 2*y + 1 = x}) is solved for the node when needed;
     * one that cannot be solved fails the update with code -6. A conditional, or a comparison by
     * {@code =} or {@code <>}, on the right side goes in parentheses: {@code y = (x > 2 ? 1 : 0)}.
     * Numbers are read with the "C" numeric conventions.
     *
     * <p>A text that is refused leaves the node unchanged and fails with code -2 and "Invalid
     * equation, error at position <i>N</i>: <i>message</i>" (see
     * <a href="package-summary.html#expressions-errors">Error messages</a>).
     *
     * <p>The node's value lies within its bounds ({@link #setNodeEquationBounds(int, double,
     * double)}; -1 and 1 on a new node), which count when it is discretized and, with outlier
     * rejection on, when it is sampled. It needs discretization intervals when it has a child
     * with outcomes (whose table has a column per interval), when {@link #updateBeliefs()} cannot
     * sample the network's evidence, and in {@link #probEvidence()}; a node without intervals
     * then gets two default ones, which it keeps (see <a href="#equation-updates">Networks with
     * equation nodes</a>).
     *
     * <p>The equation lasts while its parents do: when one goes ({@link #deleteArc(int, int)},
     * {@link #deleteNode(int)}, or {@link #setNodeType(int, int)} that removes the arc), the
     * equation becomes the sum of the other parents' identifiers in parent order (0 when none
     * remain, as in {@code E=0}).
     *
     * @param nodeHandle handle of the node
     * @param equation the equation, "id = expression" or "left = right"
     */
    public native void setNodeEquation(int nodeHandle, String equation);

    /**
     * Same as {@link #setNodeEquation(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param equation the equation, "id = expression" or "left = right"
     */
    public native void setNodeEquation(String nodeId, String equation);

    /**
     * The equation of an equation node, as the system writes it: without blanks around operators
     * and after commas, with parentheses where the grouping needs them and with function names in
     * the letter case of the <a href="package-summary.html#expressions-functions">function
     * tables</a> ({@code y = 2 * X + NORMAL(0, 1)} comes back as {@code y=2*X+Normal(0,1)}).
     *
     * @param nodeHandle handle of the node
     * @return the equation text
     */
    public native String getNodeEquation(int nodeHandle);

    /**
     * Same as {@link #getNodeEquation(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the equation text
     */
    public native String getNodeEquation(String nodeId);

    /**
     * The value of a constant equation ({@link #isNodeEquationConstant(int)}): one that names no
     * node but its own and calls no random generator, solved for the node. Fails with code -51 and
     * "QELTA error -51 in function EvaluateConstant. Equation of node '<i>id</i>' is not constant
     * (it names another node or calls a random generator): <i>equation</i>" for any other
     * equation, and with code -6 and "QELTA error -6 in function EvaluateConstant. Can't solve the
     * equation for <i>id</i> : <i>equation</i>" for a constant equation that cannot be solved for
     * the node, such as {@code c = 1 = 1}, which reads as {@code (c = 1) = 1} (the equation as
     * {@link #getNodeEquation(int)} writes it).
     *
     * @param nodeHandle handle of the node
     * @return the constant value
     */
    public native double getNodeEquationConstant(int nodeHandle);

    /**
     * Same as {@link #getNodeEquationConstant(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the constant value
     */
    public native double getNodeEquationConstant(String nodeId);

    /**
     * Whether the equation's value can be computed without the parents.
     *
     * @param nodeHandle handle of the node
     * @return true when constant
     */
    public native boolean isNodeEquationConstant(int nodeHandle);

    /**
     * Same as {@link #isNodeEquationConstant(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when constant
     */
    public native boolean isNodeEquationConstant(String nodeId);

    /**
     * Whether the equation uses no random-number function, directly or through a user-defined
     * function (see the <a href="package-summary.html#random-functions">random generators</a>).
     * Evidence on a child of an unobserved node that is not deterministic keeps
     * {@link #updateBeliefs()} from sampling (see <a href="#equation-updates">Networks with equation nodes</a>).
     *
     * @param nodeHandle handle of the node
     * @return true when deterministic
     */
    public native boolean isNodeEquationDeterministic(int nodeHandle);

    /**
     * Same as {@link #isNodeEquationDeterministic(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when deterministic
     */
    public native boolean isNodeEquationDeterministic(String nodeId);

    /**
     * Sets the bounds of an equation node's value; a new node's are -1 and 1. Discretization
     * counts only the drawn values within the bounds, and default intervals are placed by them
     * (see <a href="#equation-updates">Networks with equation nodes</a>): give bounds that hold the
     * node's values before it is discretized. With outlier rejection on, sampling drops values
     * outside them. The last discretization interval follows the upper bound. A lower bound
     * above the upper one is refused with code -2.
     *
     * <p>Only the last boundary moves: bounds that would leave intervals
     * {@link #setNodeEquationDiscretization(int, DiscretizationInterval[])} refuses
     * (a lower bound not below the first boundary, an upper bound not above the second-to-last)
     * are refused with code -4, and the node keeps its bounds and intervals.
     *
     * @param nodeHandle handle of the node
     * @param lower the lower bound
     * @param upper the upper bound
     */
    public native void setNodeEquationBounds(int nodeHandle, double lower, double upper);

    /**
     * Same as {@link #setNodeEquationBounds(int, double, double)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param lower the lower bound
     * @param upper the upper bound
     */
    public native void setNodeEquationBounds(String nodeId, double lower, double upper);

    /**
     * The bounds of an equation node's value.
     *
     * @param nodeHandle handle of the node
     * @return the lower and the upper bound
     */
    public native double[] getNodeEquationBounds(int nodeHandle);

    /**
     * Same as {@link #getNodeEquationBounds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the lower and the upper bound
     */
    public native double[] getNodeEquationBounds(String nodeId);

    /**
     * The discretization intervals of an equation node: those set with
     * {@link #setNodeEquationDiscretization(int, DiscretizationInterval[])}, or the two default
     * intervals "State0" and "State1" the node got when it was first needed as a discrete
     * variable (see <a href="#equation-updates">Networks with equation nodes</a>).
     *
     * @param nodeHandle handle of the node
     * @return the intervals, empty when the node has none
     */
    public native DiscretizationInterval[] getNodeEquationDiscretization(int nodeHandle);

    /**
     * Same as {@link #getNodeEquationDiscretization(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the intervals, empty when the node has none
     */
    public native DiscretizationInterval[] getNodeEquationDiscretization(String nodeId);

    /**
     * Sets the discretization intervals of an equation node. The last interval ends at the upper
     * bound. The intervals are the node's outcomes wherever it is treated as a discrete variable:
     * for its children with outcomes, whose tables have one column per interval, and when
     * {@link #updateBeliefs()} discretizes the network because its evidence cannot be sampled,
     * after which the node's value holds one probability per interval.
     *
     * <p>A node that has no intervals when it is needed as a discrete variable gets two default
     * ones, "State0" and "State1", split at a point its bounds give (the middle of finite bounds),
     * and logs "Equation node <i>id</i> was discretized." with code -19. They persist like
     * intervals set here: clearing evidence does not remove them and files keep them. Setting
     * intervals suited to the node's values (with bounds that hold them) before any update keeps
     * the defaults from being made; removing intervals with null lasts only until the node is
     * next needed as a discrete variable. See <a href="#equation-updates">Networks with equation
     * nodes</a> for the rules.
     *
     * @param nodeHandle handle of the node
     * @param intervals the intervals in ascending order, or null to remove the discretization
     */
    public native void setNodeEquationDiscretization(
            int nodeHandle, DiscretizationInterval[] intervals);

    /**
     * Same as {@link #setNodeEquationDiscretization(int, DiscretizationInterval[])}, with the node
     * given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param intervals the intervals in ascending order, or null to remove the discretization
     */
    public native void setNodeEquationDiscretization(
            String nodeId, DiscretizationInterval[] intervals);

    // -------- Node appearance

    /**
     * Sets the rectangle the node occupies in the drawing. Any values are stored as given (the
     * centre is computed with Java's wrapping int arithmetic), so {@link #getNodePosition(int)}
     * answers this rectangle. The native text file keeps a negative width or height; the XML
     * file and {@link #writeString()} refuse one (but the int minimum), see
     * {@link #writeFile(String)}.
     *
     * @param nodeHandle handle of the node
     * @param x left edge
     * @param y top edge
     * @param width the width
     * @param height the height
     */
    public native void setNodePosition(int nodeHandle, int x, int y, int width, int height);

    /**
     * Same as {@link #setNodePosition(int, int, int, int, int)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param x left edge
     * @param y top edge
     * @param width the width
     * @param height the height
     */
    public native void setNodePosition(String nodeId, int x, int y, int width, int height);

    /**
     * The rectangle the node occupies in the drawing.
     *
     * @param nodeHandle handle of the node
     * @return the rectangle
     */
    public native Rectangle getNodePosition(int nodeHandle);

    /**
     * Same as {@link #getNodePosition(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the rectangle
     */
    public native Rectangle getNodePosition(String nodeId);

    /**
     * Whether a chart is drawn inside the node.
     *
     * @param nodeHandle handle of the node
     * @return true when a chart is shown
     */
    public native boolean isNodeChartEnabled(int nodeHandle);

    /**
     * Same as {@link #isNodeChartEnabled(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when a chart is shown
     */
    public native boolean isNodeChartEnabled(String nodeId);

    /**
     * Shows or hides the chart inside the node.
     *
     * @param nodeHandle handle of the node
     * @param enabled true to show a chart
     */
    public native void setNodeChartEnabled(int nodeHandle, boolean enabled);

    /**
     * Same as {@link #setNodeChartEnabled(int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param enabled true to show a chart
     */
    public native void setNodeChartEnabled(String nodeId, boolean enabled);

    /**
     * Sets the size of the node's chart, stored as given. Files keep a chart size only when both
     * width and height are set (neither is -2147483647); otherwise it reads back unset.
     *
     * @param nodeHandle handle of the node
     * @param width the chart's width
     * @param height the chart's height
     */
    public native void setNodeChartSize(int nodeHandle, int width, int height);

    /**
     * Same as {@link #setNodeChartSize(int, int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param width the chart's width
     * @param height the chart's height
     */
    public native void setNodeChartSize(String nodeId, int width, int height);

    /**
     * The size of the node's chart.
     *
     * @param nodeHandle handle of the node
     * @return the chart's size
     */
    public native Dimension getNodeChartSize(int nodeHandle);

    /**
     * Same as {@link #getNodeChartSize(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the chart's size
     */
    public native Dimension getNodeChartSize(String nodeId);

    /**
     * Sets the node's background colour.
     *
     * @param nodeHandle handle of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeBgColor(int nodeHandle, Color color);

    /**
     * Same as {@link #setNodeBgColor(int, Color)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeBgColor(String nodeId, Color color);

    /**
     * The node's background colour.
     *
     * @param nodeHandle handle of the node
     * @return the colour, opaque
     */
    public native Color getNodeBgColor(int nodeHandle);

    /**
     * Same as {@link #getNodeBgColor(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the colour, opaque
     */
    public native Color getNodeBgColor(String nodeId);

    /**
     * Sets the node's text colour.
     *
     * @param nodeHandle handle of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeTextColor(int nodeHandle, Color color);

    /**
     * Same as {@link #setNodeTextColor(int, Color)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeTextColor(String nodeId, Color color);

    /**
     * The node's text colour.
     *
     * @param nodeHandle handle of the node
     * @return the colour, opaque
     */
    public native Color getNodeTextColor(int nodeHandle);

    /**
     * Same as {@link #getNodeTextColor(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the colour, opaque
     */
    public native Color getNodeTextColor(String nodeId);

    /**
     * Sets the node's border colour.
     *
     * @param nodeHandle handle of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeBorderColor(int nodeHandle, Color color);

    /**
     * Same as {@link #setNodeBorderColor(int, Color)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param color the colour; its alpha is dropped
     */
    public native void setNodeBorderColor(String nodeId, Color color);

    /**
     * The node's border colour.
     *
     * @param nodeHandle handle of the node
     * @return the colour, opaque
     */
    public native Color getNodeBorderColor(int nodeHandle);

    /**
     * Same as {@link #getNodeBorderColor(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the colour, opaque
     */
    public native Color getNodeBorderColor(String nodeId);

    /**
     * Sets the width of the node's border, stored as given. Files keep a width only above 1: a
     * smaller one reads back as 1.
     *
     * @param nodeHandle handle of the node
     * @param width the border width
     */
    public native void setNodeBorderWidth(int nodeHandle, int width);

    /**
     * Same as {@link #setNodeBorderWidth(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param width the border width
     */
    public native void setNodeBorderWidth(String nodeId, int width);

    /**
     * The width of the node's border.
     *
     * @param nodeHandle handle of the node
     * @return the border width
     */
    public native int getNodeBorderWidth(int nodeHandle);

    /**
     * Same as {@link #getNodeBorderWidth(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the border width
     */
    public native int getNodeBorderWidth(String nodeId);

    // -------- Submodels

    /**
     * Finds a submodel by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the submodel's handle
     */
    public native int getSubmodel(String submodelId);

    /**
     * The main submodel, the root of the submodel tree.
     *
     * @return the main submodel's handle, 32768
     */
    public native int getMainSubmodel();

    /**
     * The main submodel's identifier.
     *
     * @return the identifier, the network's own
     */
    public native String getMainSubmodelId();

    /**
     * The first submodel, in handle order.
     *
     * @return the first submodel's handle
     */
    public native int getFirstSubmodel();

    /**
     * The submodel that follows the given one in handle order.
     *
     * @param submodelHandle handle of the submodel
     * @return the next handle, or -1 at the end
     */
    public native int getNextSubmodel(int submodelHandle);

    /**
     * The number of submodels, the main submodel included.
     *
     * @return the number of submodels
     */
    public native int getSubmodelCount();

    /**
     * Adds a submodel below the parent submodel. A network holds at most 32768 submodels, the
     * main one included; one more is refused with code -2 and a message saying so. Files keep
     * trees at most 4088 levels below the main submodel: writing a deeper one is refused.
     *
     * @param parentHandle handle of the parent submodel
     * @param id the identifier of the new submodel
     * @return the new submodel's handle
     */
    public native int addSubmodel(int parentHandle, String id);

    /**
     * Same as {@link #addSubmodel(int, String)}, with the parent submodel given by its identifier.
     *
     * @param parentId identifier of the parent submodel
     * @param id the identifier of the new submodel
     * @return the new submodel's handle
     */
    public native int addSubmodel(String parentId, String id);

    /**
     * Deletes a submodel. Its nodes and child submodels move to its parent.
     *
     * @param submodelHandle handle of the submodel
     */
    public native void deleteSubmodel(int submodelHandle);

    /**
     * Same as {@link #deleteSubmodel(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     */
    public native void deleteSubmodel(String submodelId);

    /**
     * Changes a submodel's identifier. Nodes and submodels share one namespace: an identifier
     * that a node or another submodel carries is refused with code -32 under "SetId".
     *
     * @param submodelHandle handle of the submodel
     * @param id the new identifier
     */
    public native void setSubmodelId(int submodelHandle, String id);

    /**
     * A submodel's identifier.
     *
     * @param submodelHandle handle of the submodel
     * @return the identifier
     */
    public native String getSubmodelId(int submodelHandle);

    /**
     * Sets a submodel's name. Files keep line feeds and tabs of a name but write other control
     * characters as ".".
     *
     * @param submodelHandle handle of the submodel
     * @param name the new name
     */
    public native void setSubmodelName(int submodelHandle, String name);

    /**
     * Same as {@link #setSubmodelName(int, String)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @param name the new name
     */
    public native void setSubmodelName(String submodelId, String name);

    /**
     * A submodel's name.
     *
     * @param submodelHandle handle of the submodel
     * @return the name
     */
    public native String getSubmodelName(int submodelHandle);

    /**
     * Same as {@link #getSubmodelName(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the name
     */
    public native String getSubmodelName(String submodelId);

    /**
     * Sets a submodel's description.
     *
     * @param submodelHandle handle of the submodel
     * @param description the new description
     */
    public native void setSubmodelDescription(int submodelHandle, String description);

    /**
     * Sets the description of the submodel with the given identifier. The identifier form of
     * {@link #setSubmodelDescription(int, String)}; the name is spelled so on purpose.
     *
     * @param submodelId identifier of the submodel
     * @param description the new description
     */
    public native void setSubmodelDescrpition(String submodelId, String description);

    /**
     * A submodel's description.
     *
     * @param submodelHandle handle of the submodel
     * @return the description, or null when there is none
     */
    public native String getSubmodelDescription(int submodelHandle);

    /**
     * Same as {@link #getSubmodelDescription(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the description, or null when there is none
     */
    public native String getSubmodelDescription(String submodelId);

    /**
     * Moves a node into a submodel. The handle is kept as given, a slot index without bit 0x8000
     * included, and {@link #getSubmodelOfNode(int)} answers it so; the node belongs to that
     * submodel in the drawing and in files.
     *
     * @param submodelHandle handle of the submodel
     * @param nodeHandle handle of the node
     */
    public native void setSubmodelOfNode(int submodelHandle, int nodeHandle);

    /**
     * Same as {@link #setSubmodelOfNode(int, int)}, with the submodel and the node given by their
     * identifiers.
     *
     * @param submodelId identifier of the submodel
     * @param nodeId identifier of the node
     */
    public native void setSubmodelOfNode(String submodelId, String nodeId);

    /**
     * Moves a submodel below another one. A move below the submodel itself or one of its
     * descendants, and a move of the main submodel, fail.
     *
     * @param parentHandle handle of the parent submodel
     * @param submodelHandle handle of the submodel
     */
    public native void setSubmodelOfSubmodel(int parentHandle, int submodelHandle);

    /**
     * Same as {@link #setSubmodelOfSubmodel(int, int)}, with the parent submodel and the submodel
     * given by their identifiers.
     *
     * @param parentId identifier of the parent submodel
     * @param submodelId identifier of the submodel
     */
    public native void setSubmodelOfSubmodel(String parentId, String submodelId);

    /**
     * The submodel that holds the node.
     *
     * @param nodeHandle handle of the node
     * @return the submodel's handle
     */
    public native int getSubmodelOfNode(int nodeHandle);

    /**
     * Same as {@link #getSubmodelOfNode(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the submodel's handle
     */
    public native int getSubmodelOfNode(String nodeId);

    /**
     * The parent of a submodel.
     *
     * @param submodelHandle handle of the submodel
     * @return the parent's handle; -8888 for the main submodel
     */
    public native int getSubmodelOfSubmodel(int submodelHandle);

    /**
     * Same as {@link #getSubmodelOfSubmodel(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the parent's handle; -8888 for the main submodel
     */
    public native int getSubmodelOfSubmodel(String submodelId);

    /**
     * The rectangle the submodel occupies in the drawing of its parent.
     *
     * @param submodelHandle handle of the submodel
     * @return the rectangle
     */
    public native Rectangle getSubmodelPosition(int submodelHandle);

    /**
     * Same as {@link #getSubmodelPosition(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the rectangle
     */
    public native Rectangle getSubmodelPosition(String submodelId);

    /**
     * Sets the rectangle the submodel occupies in the drawing of its parent, stored as given as
     * for {@link #setNodePosition(int, int, int, int, int)}. Files keep sizes as absolute values
     * and no position of the main submodel.
     *
     * @param submodelHandle handle of the submodel
     * @param x left edge
     * @param y top edge
     * @param width the width
     * @param height the height
     */
    public native void setSubmodelPosition(int submodelHandle, int x, int y, int width, int height);

    /**
     * Same as {@link #setSubmodelPosition(int, int, int, int, int)}, with the submodel given by its
     * identifier.
     *
     * @param submodelId identifier of the submodel
     * @param x left edge
     * @param y top edge
     * @param width the width
     * @param height the height
     */
    public native void setSubmodelPosition(String submodelId, int x, int y, int width, int height);

    // -------- Diagnostic attributes

    /**
     * Sets the node's diagnostic role (see <a href="#diagnostic-roles">Diagnostic roles</a>). A
     * role that is not one of {@link DiagRole} is refused with {@link QELTAException#NO_CODE},
     * naming the argument, the value and the roles allowed, and the role stays.
     *
     * @param nodeHandle handle of the node
     * @param type the role, one of {@link DiagRole}: {@link DiagRole#TARGET} (a fault node),
     *     {@link DiagRole#OBSERVATION}, {@link DiagRole#AUXILIARY}
     */
    public native void setNodeDiagType(int nodeHandle, int type);

    /**
     * Same as {@link #setNodeDiagType(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param type the role, one of {@link DiagRole}: {@link DiagRole#TARGET} (a fault node),
     *     {@link DiagRole#OBSERVATION}, {@link DiagRole#AUXILIARY}
     */
    public native void setNodeDiagType(String nodeId, int type);

    /**
     * The node's diagnostic role (see <a href="#diagnostic-roles">Diagnostic roles</a>).
     *
     * @param nodeHandle handle of the node
     * @return the role, one of {@link DiagRole}
     */
    public native int getNodeDiagType(int nodeHandle);

    /**
     * Same as {@link #getNodeDiagType(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the role, one of {@link DiagRole}
     */
    public native int getNodeDiagType(String nodeId);

    /**
     * The question put to the user for an observation.
     *
     * @param nodeHandle handle of the node
     * @return the question; empty when none is set
     */
    public native String getNodeQuestion(int nodeHandle);

    /**
     * Same as {@link #getNodeQuestion(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the question; empty when none is set
     */
    public native String getNodeQuestion(String nodeId);

    /**
     * Sets the question put to the user for an observation.
     *
     * @param nodeHandle handle of the node
     * @param question the question
     */
    public native void setNodeQuestion(int nodeHandle, String question);

    /**
     * Same as {@link #setNodeQuestion(int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param question the question
     */
    public native void setNodeQuestion(String nodeId, String question);

    /**
     * Whether the observation is ranked as a test.
     *
     * @param nodeHandle handle of the node
     * @return true when ranked
     */
    public native boolean isRanked(int nodeHandle);

    /**
     * Same as {@link #isRanked(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when ranked
     */
    public native boolean isRanked(String nodeId);

    /**
     * Sets whether the observation is ranked as a test.
     *
     * @param nodeHandle handle of the node
     * @param ranked true to rank
     */
    public native void setRanked(int nodeHandle, boolean ranked);

    /**
     * Same as {@link #setRanked(int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param ranked true to rank
     */
    public native void setRanked(String nodeId, boolean ranked);

    /**
     * Whether the observation must be made before tests are ranked.
     *
     * @param nodeHandle handle of the node
     * @return true when mandatory
     */
    public native boolean isMandatory(int nodeHandle);

    /**
     * Same as {@link #isMandatory(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when mandatory
     */
    public native boolean isMandatory(String nodeId);

    /**
     * Sets whether the observation must be made before tests are ranked.
     *
     * @param nodeHandle handle of the node
     * @param mandatory true to make it mandatory
     */
    public native void setMandatory(int nodeHandle, boolean mandatory);

    /**
     * Same as {@link #setMandatory(int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param mandatory true to make it mandatory
     */
    public native void setMandatory(String nodeId, boolean mandatory);

    /**
     * The repair text of a fault outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the fix, or null when none
     */
    public native String getOutcomeFix(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeFix(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the fix, or null when none
     */
    public native String getOutcomeFix(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeFix(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the fix, or null when none
     */
    public native String getOutcomeFix(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getOutcomeFix(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the fix, or null when none
     */
    public native String getOutcomeFix(String nodeId, String outcomeId);

    /**
     * Sets the repair text of a fault outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param fix the text; empty to clear
     */
    public native void setOutcomeFix(int nodeHandle, int outcomeIndex, String fix);

    /**
     * Same as {@link #setOutcomeFix(int, int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param fix the text; empty to clear
     */
    public native void setOutcomeFix(String nodeId, int outcomeIndex, String fix);

    /**
     * Same as {@link #setOutcomeFix(int, int, String)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param fix the text; empty to clear
     */
    public native void setOutcomeFix(int nodeHandle, String outcomeId, String fix);

    /**
     * Same as {@link #setOutcomeFix(int, int, String)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param fix the text; empty to clear
     */
    public native void setOutcomeFix(String nodeId, String outcomeId, String fix);

    /**
     * The diagnostic description of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the description, or null when none
     */
    public native String getOutcomeDescription(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeDescription(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the description, or null when none
     */
    public native String getOutcomeDescription(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeDescription(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the description, or null when none
     */
    public native String getOutcomeDescription(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getOutcomeDescription(int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the description, or null when none
     */
    public native String getOutcomeDescription(String nodeId, String outcomeId);

    /**
     * Sets the diagnostic description of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param description the text; empty to clear
     */
    public native void setOutcomeDescription(int nodeHandle, int outcomeIndex, String description);

    /**
     * Same as {@link #setOutcomeDescription(int, int, String)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param description the text; empty to clear
     */
    public native void setOutcomeDescription(String nodeId, int outcomeIndex, String description);

    /**
     * Same as {@link #setOutcomeDescription(int, int, String)}, with the outcome given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param description the text; empty to clear
     */
    public native void setOutcomeDescription(int nodeHandle, String outcomeId, String description);

    /**
     * Same as {@link #setOutcomeDescription(int, int, String)}, with the node and the outcome given
     * by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param description the text; empty to clear
     */
    public native void setOutcomeDescription(String nodeId, String outcomeId, String description);

    /**
     * The diagnostic label of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the label; empty when none
     */
    public native String getOutcomeLabel(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeLabel(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the label; empty when none
     */
    public native String getOutcomeLabel(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeLabel(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the label; empty when none
     */
    public native String getOutcomeLabel(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getOutcomeLabel(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the label; empty when none
     */
    public native String getOutcomeLabel(String nodeId, String outcomeId);

    /**
     * Sets the diagnostic label of an outcome. A label that another outcome of the network carries
     * is refused silently.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param label the label
     */
    public native void setOutcomeLabel(int nodeHandle, int outcomeIndex, String label);

    /**
     * Same as {@link #setOutcomeLabel(int, int, String)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param label the label
     */
    public native void setOutcomeLabel(String nodeId, int outcomeIndex, String label);

    /**
     * Same as {@link #setOutcomeLabel(int, int, String)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param label the label
     */
    public native void setOutcomeLabel(int nodeHandle, String outcomeId, String label);

    /**
     * Same as {@link #setOutcomeLabel(int, int, String)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param label the label
     */
    public native void setOutcomeLabel(String nodeId, String outcomeId, String label);

    /**
     * Whether the outcome is a fault state.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return true when a fault
     */
    public native boolean isFaultOutcome(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #isFaultOutcome(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return true when a fault
     */
    public native boolean isFaultOutcome(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #isFaultOutcome(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return true when a fault
     */
    public native boolean isFaultOutcome(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #isFaultOutcome(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return true when a fault
     */
    public native boolean isFaultOutcome(String nodeId, String outcomeId);

    /**
     * Marks or unmarks the outcome as a fault state.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param fault true to mark as a fault
     */
    public native void setFaultOutcome(int nodeHandle, int outcomeIndex, boolean fault);

    /**
     * Same as {@link #setFaultOutcome(int, int, boolean)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param fault true to mark as a fault
     */
    public native void setFaultOutcome(String nodeId, int outcomeIndex, boolean fault);

    /**
     * Same as {@link #setFaultOutcome(int, int, boolean)}, with the outcome given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param fault true to mark as a fault
     */
    public native void setFaultOutcome(int nodeHandle, String outcomeId, boolean fault);

    /**
     * Same as {@link #setFaultOutcome(int, int, boolean)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param fault true to mark as a fault
     */
    public native void setFaultOutcome(String nodeId, String outcomeId, boolean fault);

    /**
     * The node's default outcome.
     *
     * @param nodeHandle handle of the node
     * @return the outcome index, or -1 when none
     */
    public native int getDefaultOutcome(int nodeHandle);

    /**
     * Same as {@link #getDefaultOutcome(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the outcome index, or -1 when none
     */
    public native int getDefaultOutcome(String nodeId);

    /**
     * The identifier of the node's default outcome.
     *
     * @param nodeHandle handle of the node
     * @return the outcome identifier, or null when none
     */
    public native String getDefaultOutcomeId(int nodeHandle);

    /**
     * Same as {@link #getDefaultOutcomeId(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the outcome identifier, or null when none
     */
    public native String getDefaultOutcomeId(String nodeId);

    /**
     * Sets the node's default outcome. A negative index is stored as given.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     */
    public native void setDefaultOutcome(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #setDefaultOutcome(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     */
    public native void setDefaultOutcome(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #setDefaultOutcome(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     */
    public native void setDefaultOutcome(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #setDefaultOutcome(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     */
    public native void setDefaultOutcome(String nodeId, String outcomeId);

    // -------- User properties and documentation

    /**
     * The network's user properties.
     *
     * @return the properties, in order
     */
    public native UserProperty[] getUserProperties();

    /**
     * Replaces the network's user properties. A refused element leaves the old list.
     *
     * @param properties the new properties with unique names; null or empty removes all
     */
    public native void setUserProperties(UserProperty[] properties);

    /**
     * The node's user properties.
     *
     * @param nodeHandle handle of the node
     * @return the properties, in order
     */
    public native UserProperty[] getNodeUserProperties(int nodeHandle);

    /**
     * Same as {@link #getNodeUserProperties(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the properties, in order
     */
    public native UserProperty[] getNodeUserProperties(String nodeId);

    /**
     * Replaces the node's user properties. A refused element leaves the old list.
     *
     * @param nodeHandle handle of the node
     * @param properties the new properties with unique names; null or empty removes all
     */
    public native void setNodeUserProperties(int nodeHandle, UserProperty[] properties);

    /**
     * Same as {@link #setNodeUserProperties(int, UserProperty[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param properties the new properties with unique names; null or empty removes all
     */
    public native void setNodeUserProperties(String nodeId, UserProperty[] properties);

    /**
     * The node's documentation.
     *
     * @param nodeHandle handle of the node
     * @return the items, in order
     */
    public native DocItemInfo[] getNodeDocumentation(int nodeHandle);

    /**
     * Same as {@link #getNodeDocumentation(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the items, in order
     */
    public native DocItemInfo[] getNodeDocumentation(String nodeId);

    /**
     * Replaces the node's documentation. A refused element leaves the old list.
     *
     * @param nodeHandle handle of the node
     * @param items the new items
     */
    public native void setNodeDocumentation(int nodeHandle, DocItemInfo[] items);

    /**
     * Same as {@link #setNodeDocumentation(int, DocItemInfo[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param items the new items
     */
    public native void setNodeDocumentation(String nodeId, DocItemInfo[] items);

    /**
     * The documentation of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the items, in order; empty when none
     */
    public native DocItemInfo[] getOutcomeDocumentation(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeDocumentation(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the items, in order; empty when none
     */
    public native DocItemInfo[] getOutcomeDocumentation(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getOutcomeDocumentation(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the items, in order; empty when none
     */
    public native DocItemInfo[] getOutcomeDocumentation(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getOutcomeDocumentation(int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the items, in order; empty when none
     */
    public native DocItemInfo[] getOutcomeDocumentation(String nodeId, String outcomeId);

    /**
     * Replaces the documentation of an outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param items the new items; empty to clear
     */
    public native void setOutcomeDocumentation(
            int nodeHandle, int outcomeIndex, DocItemInfo[] items);

    /**
     * Same as {@link #setOutcomeDocumentation(int, int, DocItemInfo[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param items the new items; empty to clear
     */
    public native void setOutcomeDocumentation(
            String nodeId, int outcomeIndex, DocItemInfo[] items);

    /**
     * Same as {@link #setOutcomeDocumentation(int, int, DocItemInfo[])}, with the outcome given by
     * its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param items the new items; empty to clear
     */
    public native void setOutcomeDocumentation(
            int nodeHandle, String outcomeId, DocItemInfo[] items);

    /**
     * Same as {@link #setOutcomeDocumentation(int, int, DocItemInfo[])}, with the node and the
     * outcome given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param items the new items; empty to clear
     */
    public native void setOutcomeDocumentation(
            String nodeId, String outcomeId, DocItemInfo[] items);

    // -------- Observation costs

    /**
     * Adds an observation-cost arc: the cost of observing the child comes to depend on the parent's
     * outcome.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     */
    public native void addCostArc(int parentHandle, int childHandle);

    /**
     * Same as {@link #addCostArc(int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     */
    public native void addCostArc(String parentId, String childId);

    /**
     * Removes an observation-cost arc.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     */
    public native void deleteCostArc(int parentHandle, int childHandle);

    /**
     * Same as {@link #deleteCostArc(int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     */
    public native void deleteCostArc(String parentId, String childId);

    /**
     * The node's cost parents.
     *
     * @param nodeHandle handle of the node
     * @return the cost parents' handles, in the order the arcs were added
     */
    public native int[] getCostParents(int nodeHandle);

    /**
     * Same as {@link #getCostParents(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the cost parents' handles, in the order the arcs were added
     */
    public native int[] getCostParents(String nodeId);

    /**
     * The identifiers of the node's cost parents.
     *
     * @param nodeHandle handle of the node
     * @return the cost parents' identifiers
     */
    public native String[] getCostParentIds(int nodeHandle);

    /**
     * Same as {@link #getCostParentIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the cost parents' identifiers
     */
    public native String[] getCostParentIds(String nodeId);

    /**
     * The node's cost children.
     *
     * @param nodeHandle handle of the node
     * @return the cost children's handles
     */
    public native int[] getCostChildren(int nodeHandle);

    /**
     * Same as {@link #getCostChildren(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the cost children's handles
     */
    public native int[] getCostChildren(String nodeId);

    /**
     * The identifiers of the node's cost children.
     *
     * @param nodeHandle handle of the node
     * @return the cost children's identifiers
     */
    public native String[] getCostChildIds(int nodeHandle);

    /**
     * Same as {@link #getCostChildIds(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the cost children's identifiers
     */
    public native String[] getCostChildIds(String nodeId);

    /**
     * The node's observation cost, one value per combination of its cost parents' outcomes.
     *
     * @param nodeHandle handle of the node
     * @return the cost table's items, last dimension fastest; one 0.0 for a node without cost data
     */
    public native double[] getNodeCost(int nodeHandle);

    /**
     * Same as {@link #getNodeCost(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the cost table's items, last dimension fastest; one 0.0 for a node without cost data
     */
    public native double[] getNodeCost(String nodeId);

    /**
     * Sets the node's observation cost. A value that is NaN or infinite is refused with code -4
     * ("QELTA error -4 in function SetCost. Costs of node '<i>id</i>' must be finite numbers")
     * and nothing is stored; any finite value, however large or small, is kept as it is.
     *
     * @param nodeHandle handle of the node
     * @param costs one value per combination of the cost parents' outcomes
     */
    public native void setNodeCost(int nodeHandle, double[] costs);

    /**
     * Same as {@link #setNodeCost(int, double[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param costs one value per combination of the cost parents' outcomes
     */
    public native void setNodeCost(String nodeId, double[] costs);

    // -------- Dynamic networks

    /**
     * The number of time slices the network unrolls into.
     *
     * @return the slice count; 0 for a network without a temporal part
     */
    public native int getSliceCount();

    /**
     * Sets the number of time slices. A count below 1 is ignored, without an exception: the count
     * stays as it was (0 on a network without a temporal part).
     *
     * @param count the new count
     */
    public native void setSliceCount(int count);

    /**
     * The node's temporal type (see <a href="#temporal-types">Temporal types</a>).
     *
     * @param nodeHandle handle of the node
     * @return the temporal type, one of {@link TemporalType}
     */
    public native int getNodeTemporalType(int nodeHandle);

    /**
     * Same as {@link #getNodeTemporalType(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the temporal type, one of {@link TemporalType}
     */
    public native int getNodeTemporalType(String nodeId);

    /**
     * Sets the node's temporal type (see <a href="#temporal-types">Temporal types</a>). An
     * equation, utility or multi-attribute utility node cannot be a plate node:
     * {@link TemporalType#PLATE} is refused for it with code -51, the message naming the node
     * ("Node '<i>id</i>' cannot be a plate node: its kind has no outcomes"). A type that is not one
     * of {@link TemporalType} is refused with {@link QELTAException#NO_CODE}, naming the argument,
     * the value and the types allowed.
     *
     * @param nodeHandle handle of the node
     * @param type the temporal type, one of {@link TemporalType}
     */
    public native void setNodeTemporalType(int nodeHandle, int type);

    /**
     * Same as {@link #setNodeTemporalType(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param type the temporal type, one of {@link TemporalType}
     */
    public native void setNodeTemporalType(String nodeId, int type);

    /**
     * Adds a temporal arc between two plate nodes: the parent in slice t becomes a parent of the
     * child in slice t + order.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     * @param order the order, 1 or more
     */
    public native void addTemporalArc(int parentHandle, int childHandle, int order);

    /**
     * Same as {@link #addTemporalArc(int, int, int)}, with the parent and the child given by their
     * identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     * @param order the order, 1 or more
     */
    public native void addTemporalArc(String parentId, String childId, int order);

    /**
     * Removes a temporal arc.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     * @param order the order
     */
    public native void deleteTemporalArc(int parentHandle, int childHandle, int order);

    /**
     * Same as {@link #deleteTemporalArc(int, int, int)}, with the parent and the child given by
     * their identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     * @param order the order
     */
    public native void deleteTemporalArc(String parentId, String childId, int order);

    /**
     * Whether a temporal arc of that order links the two nodes.
     *
     * @param parentHandle handle of the parent node
     * @param childHandle handle of the child node
     * @param order the order
     * @return true when the arc exists
     */
    public native boolean temporalArcExists(int parentHandle, int childHandle, int order);

    /**
     * Same as {@link #temporalArcExists(int, int, int)}, with the parent and the child given by
     * their identifiers.
     *
     * @param parentId identifier of the parent node
     * @param childId identifier of the child node
     * @param order the order
     * @return true when the arc exists
     */
    public native boolean temporalArcExists(String parentId, String childId, int order);

    /**
     * The largest order of any temporal arc.
     *
     * @return the largest order; 0 without a temporal part, -1 with one but no temporal arc
     */
    public native int getMaxTemporalOrder();

    /**
     * The largest order of the temporal arcs into the node. A node outside the plate is not
     * refused: it answers -2.
     *
     * @param nodeHandle handle of the node
     * @return the largest order; 0 for a plate node without temporal arcs into it, -2 for a node
     *     outside the plate
     */
    public native int getMaxNodeTemporalOrder(int nodeHandle);

    /**
     * Same as {@link #getMaxNodeTemporalOrder(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the largest order; 0 for a plate node without temporal arcs into it, -2 for a node
     *     outside the plate
     */
    public native int getMaxNodeTemporalOrder(String nodeId);

    /**
     * The orders of the temporal arcs into the node.
     *
     * @param nodeHandle handle of the node
     * @return the orders
     */
    public native int[] getTemporalOrders(int nodeHandle);

    /**
     * Same as {@link #getTemporalOrders(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the orders
     */
    public native int[] getTemporalOrders(String nodeId);

    /**
     * The node's temporal children.
     *
     * @param nodeHandle handle of the node
     * @return the children with their orders
     */
    public native TemporalInfo[] getTemporalChildren(int nodeHandle);

    /**
     * Same as {@link #getTemporalChildren(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the children with their orders
     */
    public native TemporalInfo[] getTemporalChildren(String nodeId);

    /**
     * The node's temporal parents of the given order.
     *
     * @param nodeHandle handle of the node
     * @param order the order
     * @return the parents, each with that order
     */
    public native TemporalInfo[] getTemporalParents(int nodeHandle, int order);

    /**
     * Same as {@link #getTemporalParents(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order
     * @return the parents, each with that order
     */
    public native TemporalInfo[] getTemporalParents(String nodeId, int order);

    /**
     * The parents the node will have, for the given order, once the network is unrolled.
     *
     * @param nodeHandle handle of the node
     * @param order the order
     * @return the parents with their orders
     */
    public native TemporalInfo[] getUnrolledParents(int nodeHandle, int order);

    /**
     * Same as {@link #getUnrolledParents(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order
     * @return the parents with their orders
     */
    public native TemporalInfo[] getUnrolledParents(String nodeId, int order);

    /**
     * The parents the node will have once the network is unrolled, for every order.
     *
     * @param nodeHandle handle of the node
     * @return the parents with their orders
     */
    public native TemporalInfo[] getUnrolledParents(int nodeHandle);

    /**
     * Same as {@link #getUnrolledParents(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the parents with their orders
     */
    public native TemporalInfo[] getUnrolledParents(String nodeId);

    /**
     * Unrolls the dynamic network into a new, ordinary network with one copy of every plate node
     * per slice. This network is not changed. The unrolled network keeps the cases: an entry
     * that observes time slices of a plate node becomes the node's observed outcome of slice 0
     * (none when slice 0 has none), and the outcome of each later slice becomes an observed
     * outcome of the node's copy for that slice.
     *
     * @return the unrolled network and the map of plate node copies
     */
    public native UnrollResults unroll();

    // -------- Temporal evidence and definitions

    /**
     * Whether the node has evidence in any time slice.
     *
     * @param nodeHandle handle of the node
     * @return true when the node has evidence in some slice
     */
    public native boolean hasTemporalEvidence(int nodeHandle);

    /**
     * Same as {@link #hasTemporalEvidence(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return true when the node has evidence in some slice
     */
    public native boolean hasTemporalEvidence(String nodeId);

    /**
     * Whether an outcome of the node is observed in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice, 0 to slice count - 1
     * @return true when an outcome is observed there
     */
    public native boolean isTemporalEvidence(int nodeHandle, int slice);

    /**
     * Same as {@link #isTemporalEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice, 0 to slice count - 1
     * @return true when an outcome is observed there
     */
    public native boolean isTemporalEvidence(String nodeId, int slice);

    /**
     * Whether the node has virtual evidence in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @return true when virtual evidence is set there
     */
    public native boolean isTemporalVirtualEvidence(int nodeHandle, int slice);

    /**
     * Same as {@link #isTemporalVirtualEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @return true when virtual evidence is set there
     */
    public native boolean isTemporalVirtualEvidence(String nodeId, int slice);

    /**
     * The outcome observed for the node in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @return the outcome index
     */
    public native int getTemporalEvidence(int nodeHandle, int slice);

    /**
     * Same as {@link #getTemporalEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @return the outcome index
     */
    public native int getTemporalEvidence(String nodeId, int slice);

    /**
     * The identifier of the outcome observed for the node in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @return the outcome identifier
     */
    public native String getTemporalEvidenceId(int nodeHandle, int slice);

    /**
     * Same as {@link #getTemporalEvidenceId(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @return the outcome identifier
     */
    public native String getTemporalEvidenceId(String nodeId, int slice);

    /**
     * The node's virtual evidence in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @return one likelihood per outcome
     */
    public native double[] getTemporalVirtualEvidence(int nodeHandle, int slice);

    /**
     * Same as {@link #getTemporalVirtualEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @return one likelihood per outcome
     */
    public native double[] getTemporalVirtualEvidence(String nodeId, int slice);

    /**
     * Observes an outcome of a plate node in a slice. Slice 0 is the node's ordinary evidence.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @param outcomeIndex index of the outcome
     */
    public native void setTemporalEvidence(int nodeHandle, int slice, int outcomeIndex);

    /**
     * Same as {@link #setTemporalEvidence(int, int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @param outcomeIndex index of the outcome
     */
    public native void setTemporalEvidence(String nodeId, int slice, int outcomeIndex);

    /**
     * Same as {@link #setTemporalEvidence(int, int, int)}, with the outcome given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @param outcomeId identifier of the outcome
     */
    public native void setTemporalEvidence(int nodeHandle, int slice, String outcomeId);

    /**
     * Same as {@link #setTemporalEvidence(int, int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @param outcomeId identifier of the outcome
     */
    public native void setTemporalEvidence(String nodeId, int slice, String outcomeId);

    /**
     * Sets virtual evidence of a plate node in a slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     * @param likelihoods one likelihood per outcome
     */
    public native void setTemporalVirtualEvidence(int nodeHandle, int slice, double[] likelihoods);

    /**
     * Same as {@link #setTemporalVirtualEvidence(int, int, double[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     * @param likelihoods one likelihood per outcome
     */
    public native void setTemporalVirtualEvidence(String nodeId, int slice, double[] likelihoods);

    /**
     * Removes the node's evidence in the slice.
     *
     * @param nodeHandle handle of the node
     * @param slice the slice
     */
    public native void clearTemporalEvidence(int nodeHandle, int slice);

    /**
     * Same as {@link #clearTemporalEvidence(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param slice the slice
     */
    public native void clearTemporalEvidence(String nodeId, int slice);

    /**
     * The table a plate node has for its temporal parents of the given order.
     *
     * @param nodeHandle handle of the node
     * @param order the order; 0 gives the node's own table
     * @return the table's items, last dimension fastest
     */
    public native double[] getNodeTemporalDefinition(int nodeHandle, int order);

    /**
     * Same as {@link #getNodeTemporalDefinition(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order; 0 gives the node's own table
     * @return the table's items, last dimension fastest
     */
    public native double[] getNodeTemporalDefinition(String nodeId, int order);

    /**
     * Sets the table a plate node has for its temporal parents of the given order. For a noisy-MAX
     * node these are the temporal parameters. The table's dimensions are, in this order: the node's
     * ordinary parents of temporal type normal or plate (anchor and terminal parents excluded), in
     * parent order; then its temporal parents of order 1, of order 2, and so on up to the given
     * order, counting only the orders the node has a table for, each order's parents in the order
     * their temporal arcs were added; last the node's own outcomes. The last dimension varies
     * fastest. {@link #getUnrolledParents(int, int)} lists these parents in this order. The array
     * must have the table's size.
     *
     * @param nodeHandle handle of the node
     * @param order the order
     * @param definition the table's items
     */
    public native void setNodeTemporalDefinition(int nodeHandle, int order, double[] definition);

    /**
     * Same as {@link #setNodeTemporalDefinition(int, int, double[])}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order
     * @param definition the table's items
     */
    public native void setNodeTemporalDefinition(String nodeId, int order, double[] definition);

    /**
     * The outcome strength orders of a noisy-MAX plate node's temporal definition.
     *
     * @param nodeHandle handle of the node
     * @param order the order
     * @return one row per parent of that order's definition; empty when there is none
     */
    public native int[][] getNoisyTemporalParentStrengths(int nodeHandle, int order);

    /**
     * Same as {@link #getNoisyTemporalParentStrengths(int, int)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order
     * @return one row per parent of that order's definition; empty when there is none
     */
    public native int[][] getNoisyTemporalParentStrengths(String nodeId, int order);

    /**
     * Sets the outcome strength orders of a noisy-MAX plate node's temporal definition.
     *
     * @param nodeHandle handle of the node
     * @param order the order
     * @param strengths one row per parent
     */
    public native void setNoisyTemporalParentStrengths(
            int nodeHandle, int order, int[][] strengths);

    /**
     * Same as {@link #setNoisyTemporalParentStrengths(int, int, int[][])}, with the node given by
     * its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the order
     * @param strengths one row per parent
     */
    public native void setNoisyTemporalParentStrengths(String nodeId, int order, int[][] strengths);

    // -------- DeMorgan and multi-attribute utility parameters

    /**
     * Sets the prior belief of a DeMorgan node. A value outside [0, 1] (NaN too) is refused with
     * code -4, naming the node and the value, and the prior stays.
     *
     * @param nodeHandle handle of the node
     * @param prior the prior belief in [0, 1]
     */
    public native void setDeMorganPriorBelief(int nodeHandle, double prior);

    /**
     * Same as {@link #setDeMorganPriorBelief(int, double)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param prior the prior belief in [0, 1]
     */
    public native void setDeMorganPriorBelief(String nodeId, double prior);

    /**
     * The prior belief of a DeMorgan node.
     *
     * @param nodeHandle handle of the node
     * @return the prior belief
     */
    public native double getDeMorganPriorBelief(int nodeHandle);

    /**
     * Same as {@link #getDeMorganPriorBelief(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the prior belief
     */
    public native double getDeMorganPriorBelief(String nodeId);

    /**
     * Sets the type of a parent of a DeMorgan node. A type that is not one of
     * {@link DeMorganParentType} is refused with {@link QELTAException#NO_CODE}, naming the
     * argument, the value and the types allowed.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganParentType(int nodeHandle, int parentIndex, int type);

    /**
     * Same as {@link #setDeMorganParentType(int, int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganParentType(String nodeId, int parentIndex, int type);

    /**
     * Same as {@link #setDeMorganParentType(int, int, int)}, with the parent given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganParentType(int nodeHandle, String parentId, int type);

    /**
     * Same as {@link #setDeMorganParentType(int, int, int)}, with the node and the parent given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganParentType(String nodeId, String parentId, int type);

    /**
     * The type of a parent of a DeMorgan node.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganParentType(int nodeHandle, int parentIndex);

    /**
     * Same as {@link #getDeMorganParentType(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganParentType(String nodeId, int parentIndex);

    /**
     * Same as {@link #getDeMorganParentType(int, int)}, with the parent given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganParentType(int nodeHandle, String parentId);

    /**
     * Same as {@link #getDeMorganParentType(int, int)}, with the node and the parent given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganParentType(String nodeId, String parentId);

    /**
     * Sets the weight of a parent of a DeMorgan node.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganParentWeight(int nodeHandle, int parentIndex, double weight);

    /**
     * Same as {@link #setDeMorganParentWeight(int, int, double)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganParentWeight(String nodeId, int parentIndex, double weight);

    /**
     * Same as {@link #setDeMorganParentWeight(int, int, double)}, with the parent given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganParentWeight(int nodeHandle, String parentId, double weight);

    /**
     * Same as {@link #setDeMorganParentWeight(int, int, double)}, with the node and the parent
     * given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganParentWeight(String nodeId, String parentId, double weight);

    /**
     * The weight of a parent of a DeMorgan node.
     *
     * @param nodeHandle handle of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the weight
     */
    public native double getDeMorganParentWeight(int nodeHandle, int parentIndex);

    /**
     * Same as {@link #getDeMorganParentWeight(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param parentIndex position of the parent in the node's parent list
     * @return the weight
     */
    public native double getDeMorganParentWeight(String nodeId, int parentIndex);

    /**
     * Same as {@link #getDeMorganParentWeight(int, int)}, with the parent given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param parentId identifier of the parent node
     * @return the weight
     */
    public native double getDeMorganParentWeight(int nodeHandle, String parentId);

    /**
     * Same as {@link #getDeMorganParentWeight(int, int)}, with the node and the parent given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param parentId identifier of the parent node
     * @return the weight
     */
    public native double getDeMorganParentWeight(String nodeId, String parentId);

    /**
     * The type of a temporal parent of a DeMorgan plate node.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganTemporalParentType(int nodeHandle, int order, int parentIndex);

    /**
     * Same as {@link #getDeMorganTemporalParentType(int, int, int)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganTemporalParentType(String nodeId, int order, int parentIndex);

    /**
     * Same as {@link #getDeMorganTemporalParentType(int, int, int)}, with the parent given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganTemporalParentType(int nodeHandle, int order, String parentId);

    /**
     * Same as {@link #getDeMorganTemporalParentType(int, int, int)}, with the node and the parent
     * given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @return the parent type, one of {@link DeMorganParentType}
     */
    public native int getDeMorganTemporalParentType(String nodeId, int order, String parentId);

    /**
     * Sets the type of a temporal parent of a DeMorgan plate node.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganTemporalParentType(
            int nodeHandle, int order, int parentIndex, int type);

    /**
     * Same as {@link #setDeMorganTemporalParentType(int, int, int, int)}, with the node given by
     * its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganTemporalParentType(
            String nodeId, int order, int parentIndex, int type);

    /**
     * Same as {@link #setDeMorganTemporalParentType(int, int, int, int)}, with the parent given by
     * its identifier.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganTemporalParentType(
            int nodeHandle, int order, String parentId, int type);

    /**
     * Same as {@link #setDeMorganTemporalParentType(int, int, int, int)}, with the node and the
     * parent given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @param type the parent type, one of {@link DeMorganParentType}
     */
    public native void setDeMorganTemporalParentType(
            String nodeId, int order, String parentId, int type);

    /**
     * The weight of a temporal parent of a DeMorgan plate node.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @return the weight
     */
    public native double getDeMorganTemporalParentWeight(
            int nodeHandle, int order, int parentIndex);

    /**
     * Same as {@link #getDeMorganTemporalParentWeight(int, int, int)}, with the node given by its
     * identifier.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @return the weight
     */
    public native double getDeMorganTemporalParentWeight(String nodeId, int order, int parentIndex);

    /**
     * Same as {@link #getDeMorganTemporalParentWeight(int, int, int)}, with the parent given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @return the weight
     */
    public native double getDeMorganTemporalParentWeight(
            int nodeHandle, int order, String parentId);

    /**
     * Same as {@link #getDeMorganTemporalParentWeight(int, int, int)}, with the node and the parent
     * given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @return the weight
     */
    public native double getDeMorganTemporalParentWeight(String nodeId, int order, String parentId);

    /**
     * Sets the weight of a temporal parent of a DeMorgan plate node.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganTemporalParentWeight(
            int nodeHandle, int order, int parentIndex, double weight);

    /**
     * Same as {@link #setDeMorganTemporalParentWeight(int, int, int, double)}, with the node given
     * by its identifier.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentIndex position of the parent among the node's temporal parents of that order
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganTemporalParentWeight(
            String nodeId, int order, int parentIndex, double weight);

    /**
     * Same as {@link #setDeMorganTemporalParentWeight(int, int, int, double)}, with the parent
     * given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganTemporalParentWeight(
            int nodeHandle, int order, String parentId, double weight);

    /**
     * Same as {@link #setDeMorganTemporalParentWeight(int, int, int, double)}, with the node and
     * the parent given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param order the temporal order
     * @param parentId identifier of the temporal parent node
     * @param weight the weight in [0, 1]
     */
    public native void setDeMorganTemporalParentWeight(
            String nodeId, int order, String parentId, double weight);

    /**
     * The expressions of a multi-attribute utility node (see
     * {@link #setMauExpressions(int, String[])}), as the system writes them: without blanks
     * around operators and after commas. A node without expressions (weights mode) answers an
     * empty array.
     *
     * @param nodeHandle handle of the node
     * @return the expressions, one per configuration of the decision parents, in table order
     */
    public native String[] getMauExpressions(int nodeHandle);

    /**
     * Same as {@link #getMauExpressions(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return the expressions, one per configuration of the decision parents, in table order
     */
    public native String[] getMauExpressions(String nodeId);

    /**
     * Sets the expressions of a multi-attribute utility node, which then computes its expected
     * utility with them instead of its weights (expression mode). Expressions are written in the
     * <a href="package-summary.html#expressions">expression language</a>; user-defined functions
     * ({@link #setExtFunctions(String[])}) may be called.
     *
     * <p>The array holds one expression per configuration of the node's decision parents, in
     * table order: the decision parents in parent order, the last varying fastest, each through
     * its choices in order. A node without decision parents takes exactly one expression. Another
     * count is refused with code -2 and "Wrong vector size: expected <i>n</i> expressions (one per
     * configuration of the decision parents), got <i>m</i>". With one decision parent D of two
     * choices, element 0 is the expression for D's first choice and element 1 for its second.
     *
     * <p>The names in an expression are identifiers of utility and multi-attribute utility nodes
     * other than this node and its descendants; each stands for that node's expected utility. The
     * node's value holds one expected utility per configuration of the nodes that index it
     * ({@link #getValueIndexingParents(int)}: of the open decisions and of the chance nodes to be
     * observed before one, being parents of a decision and without evidence, those the value
     * depends on). For each configuration, the expression of the decision parents' choices in it
     * (for a decision with evidence, its observed choice) is evaluated with each name standing
     * for that node's expected utility in the same configuration. The expressions thus combine
     * expected utilities: {@code Money*Money/100} is E[Money]<sup>2</sup>/100, not
     * E[Money<sup>2</sup>]/100. Random generators are refused, also inside a user-defined
     * function the expression calls. A text literal is accepted but names nothing: it evaluates
     * to NaN (see <a href="package-summary.html#expressions-tokens">Numbers, names and
     * texts</a>), so {@code "x" + Money} is NaN, and the next {@link #updateBeliefs()} fails with
     * code -2 and "Expected utility of node [<i>id</i>] is not finite", <i>id</i> being a node
     * whose expected utility came out NaN (a decision, or this node), every value without
     * evidence left invalid (influence-diagram algorithm 1 refuses such an expression as it
     * refuses every expression that is not a constant plus utilities times constants).
     *
     * <p>Installing the expressions makes the node's parents other than decisions exactly the
     * nodes the expressions name: every parent that is not a decision loses its arc, then the
     * named nodes become parents, after the decision parents, in ascending byte order of their
     * identifiers. As they are added, every weight is set to 1. A utility node that the
     * expressions leave out thus stops being a parent of this node, and counts in the decisions
     * on its own: a decision's expected utility is the sum of the expected utilities of every
     * utility and multi-attribute utility node that has no child (influence-diagram algorithms 0
     * and 1 alike). To count a utility parent zero times, keep it in the expression with the
     * factor 0 ({@code Money + 0*Calm}). Later arc changes edit the
     * expressions: a new utility parent P turns each expression E into E+P (the arc is refused with
     * "Expression is nested too deeply" when E+P would nest deeper than the
     * <a href="package-summary.html#expressions-limits">nesting limit</a>), and removing one
     * replaces each expression that names it by the sum of the other names it holds, in
     * ascending byte order (factors such as weights inside it are lost), or by 0.
     *
     * <p>Null or an empty array returns the node to weights mode: the expressions are dropped and
     * the node keeps its parents and the weights it has then (all 1 unless set since, see
     * {@link #setNodeDefinition(int, double[])}). Influence-diagram algorithm 1 takes only
     * expressions that are a constant plus utilities times constants, such as
     * {@code 2*Money - Fitness/3 + 10}, and refuses the diagram otherwise (see
     * <a href="#algorithms">Algorithms</a>).
     *
     * <p>A refusal leaves the node unchanged. Code -2: the "Wrong vector size" message above, or
     * "Can't parse expression at index <i>i</i>, error at position <i>N</i>: <i>message</i>" (see
     * <a href="package-summary.html#expressions-errors">Error messages</a>). Code -1: "Invalid
     * expression at index <i>i</i>: " followed by "Random number generators not allowed",
     * "self-references not allowed: <i>id</i>" (the node's own identifier), "only non-descendant
     * utility/ALU/MAU nodes are allowed: <i>name</i> is not a utility or multi-attribute utility
     * node" (a node of another kind; "ALU" means a utility node) or "... allowed: <i>name</i> is a
     * descendant of <i>id</i>", or "unknown identifier: <i>name</i>" (no node of that name); the
     * first offending name in the expression is the one named. Code -4: "Invalid text literal:
     * "<i>text</i>" in expression at index <i>i</i>, position <i>N</i>": the variables are
     * utility nodes, which have no outcomes for a literal to name.
     *
     * <p>Example: node M with the decision parent D (choices "Cash" and "Health") and the
     * utility nodes Money and Fitness in the network:
     * <pre>{@code
     * net.setMauExpressions("M", new String[] {"Money*Money/100 + Fitness", "Fitness*2"});
     * // M's parents: D, Fitness, Money; M's value: one expected utility per choice of D
     * }</pre>
     *
     * <p>Example of a utility left out: decision D with choices a, b and c, utility nodes Money
     * and Calm whose tables over D are (47, 39, 20) and (10, 60, 90), and M with the utility
     * parents Money and Calm in weights mode. M and D both hold (57, 99, 110). Then:
     * <pre>{@code
     * net.setMauExpressions("M", new String[] {"Money"});
     * net.updateBeliefs();
     * // M's utility parents: Money only. M holds (47, 39, 20); D still holds
     * // (57, 99, 110) = E[Money] + E[Calm], Calm now counting on its own
     * }</pre>
     *
     * @param nodeHandle handle of the node
     * @param expressions the expressions, one per configuration of the decision parents; null or
     *     empty returns the node to its weights
     */
    public native void setMauExpressions(int nodeHandle, String[] expressions);

    /**
     * Same as {@link #setMauExpressions(int, String[])}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param expressions the expressions, one per configuration of the decision parents; null or
     *     empty returns the node to its weights
     */
    public native void setMauExpressions(String nodeId, String[] expressions);

    // -------- Network services

    /**
     * Makes an independent deep copy of the network.
     *
     * @return the copy, owned by the caller
     */
    public native Network cloneme();

    /**
     * Sends the messages the network logs to a file, appended as "code: message" lines, each
     * written out at once. While a redirect is installed, exception messages carry no logged
     * text. A file that cannot be opened fails with code -103 and keeps the previous redirect.
     * An empty name ends any redirect: from then on the network keeps its messages again and
     * each exception carries the reasons its call logged.
     *
     * @param file the file to append to, or "" to stop redirecting
     */
    public native void redirectLog(String file);

    /**
     * Sends the messages the network logs to standard output or standard error, as "code: message"
     * lines. While a redirect is installed, exception messages carry no logged text;
     * {@code redirectLog("")} ends it.
     *
     * @param fd 1 for standard output, 2 for standard error
     */
    public native void redirectLog(int fd);

    /**
     * A text that identifies the build of the native library: "qelta 2.2.4" and the kind of
     * build, nothing about the machine it was built on.
     *
     * @return the build text
     */
    public native String getLibraryBuild();

    /**
     * The user-defined functions of the <a href="package-summary.html#expressions">expression
     * language</a>, as the system writes them: {@code f(x) = x * 2} comes back as
     * {@code f(x)=x*2}.
     *
     * @return the function definitions, in order; empty when there are none
     */
    public native String[] getExtFunctions();

    /**
     * Replaces the user-defined functions of the
     * <a href="package-summary.html#expressions">expression language</a>, which equations and
     * multi-attribute utility expressions of this network call like built-in functions. Each
     * definition has the form "name(p1, p2, ...) = body", such as {@code f(x) = x*2}; the body
     * names only the parameters, holds no text literal, and may call built-in functions and the
     * functions defined before it in the array (no recursion). The name must not be a built-in function's or an earlier
     * definition's. See <a href="package-summary.html#expressions-user-functions">User-defined
     * functions</a> for the rules and messages.
     *
     * <p>A definition that fails, or an equation or multi-attribute utility expression that no
     * longer works with the new set (a function it calls is gone or takes another number of
     * arguments, or a multi-attribute utility expression would call a random generator), leaves
     * the old functions and fails with code -4 and "Error in function #<i>i</i> at position
     * <i>N</i>: <i>message</i>". An empty array removes every function.
     *
     * @param definitions one function definition per element
     */
    public native void setExtFunctions(String[] definitions);

    /**
     * Whether relevance reasoning is enabled (it is on a new network).
     *
     * @return true when enabled
     */
    public native boolean isRelevanceEnabled();

    /**
     * Enables or disables relevance reasoning. While it is off, edits do not invalidate the
     * values they affect: until the next {@link #updateBeliefs()} a value read may be out of date.
     * After an edit made while it is off, that update invalidates every value without evidence
     * before it computes the targets, so a node that is not a target (when some node is one) and
     * has no evidence is then not valid ({@link #isValueValid(int)} is false and reading its value
     * fails) rather than holding its old value. Switching it on again (from off) invalidates
     * every value without evidence, a utility's and a decision's too: the next update computes
     * them as a network that never had it off would.
     *
     * @param enabled true to enable
     */
    public native void setRelevanceEnabled(boolean enabled);

    /**
     * Computes confidence intervals of the nodes' beliefs by sampling parameters from the instance
     * counts. The network's targets, evidence and values are left as they were.
     *
     * <p>An influence diagram (a network with a decision, utility or multi-attribute utility
     * node) is refused with code -2 ("QELTA error -2 in function CalcConfidenceIntervals"), the
     * message carrying its reason ("Confidence intervals are not
     * available for influence diagrams: node [<i>id</i>] is a decision or utility node").
     *
     * @param nodeHandles handles of the nodes whose beliefs are wanted
     * @param counts the instance counts that the parameters were learned from
     * @param confidenceLevel the confidence level
     * @param sampleCount the number of samples
     * @param seed the seed of the sampling
     * @return for each node, the lower and upper bound of each outcome's belief, interleaved
     */
    public native double[][] calcConfidenceIntervals(
            int[] nodeHandles, InstanceCounts counts, double confidenceLevel, int sampleCount, int seed);

    /**
     * Same as {@link #calcConfidenceIntervals(int[], InstanceCounts, double, int, int)}, with the
     * nodes given by their identifiers.
     *
     * @param nodeIds identifiers of the nodes whose beliefs are wanted
     * @param counts the instance counts that the parameters were learned from
     * @param confidenceLevel the confidence level
     * @param sampleCount the number of samples
     * @param seed the seed of the sampling
     * @return for each node, the lower and upper bound of each outcome's belief, interleaved
     */
    public native double[][] calcConfidenceIntervals(
            String[] nodeIds, InstanceCounts counts, double confidenceLevel, int sampleCount, int seed);

    /**
     * Runs one expected-count pass of EM for a distributed learner.
     *
     * <p>The counts of each node take the shape of its own parameters, which for a noisy-MAX or
     * noisy-adder node with parents are not a table over the node and its parents: such a
     * network is refused with code -43 ("QELTA error -43 in function DistributedHelperEM"),
     * the message carrying its reason ("EM: the counts of node
     * '<i>id</i>' cannot be kept: a noisy-MAX node's parameters are not a table over the node and
     * its parents", or a noisy-adder node's).
     *
     * @param counts receives the expected counts of every node's table, node after node in handle
     *     order
     */
    public native void distributedHelperEM(double[] counts);

    // -------- Text boxes

    /**
     * The number of text boxes of a submodel.
     *
     * @param submodelHandle handle of the submodel
     * @return the number of text boxes
     */
    public native int getTextBoxCount(int submodelHandle);

    /**
     * Same as {@link #getTextBoxCount(int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @return the number of text boxes
     */
    public native int getTextBoxCount(String submodelId);

    /**
     * A text box of a submodel.
     *
     * @param submodelHandle handle of the submodel
     * @param index the text box's index
     * @return the text box
     */
    public native TextBox getTextBox(int submodelHandle, int index);

    /**
     * Same as {@link #getTextBox(int, int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @param index the text box's index
     * @return the text box
     */
    public native TextBox getTextBox(String submodelId, int index);

    /**
     * Replaces a text box of a submodel.
     *
     * @param submodelHandle handle of the submodel
     * @param index the text box's index
     * @param box the new caption and position
     */
    public native void setTextBox(int submodelHandle, int index, TextBox box);

    /**
     * Same as {@link #setTextBox(int, int, TextBox)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @param index the text box's index
     * @param box the new caption and position
     */
    public native void setTextBox(String submodelId, int index, TextBox box);

    /**
     * Appends a text box to a submodel.
     *
     * @param submodelHandle handle of the submodel
     * @param box the caption and position
     */
    public native void addTextBox(int submodelHandle, TextBox box);

    /**
     * Same as {@link #addTextBox(int, TextBox)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @param box the caption and position
     */
    public native void addTextBox(String submodelId, TextBox box);

    /**
     * Deletes a text box; the later ones move down by one.
     *
     * @param submodelHandle handle of the submodel
     * @param index the text box's index
     */
    public native void deleteTextBox(int submodelHandle, int index);

    /**
     * Same as {@link #deleteTextBox(int, int)}, with the submodel given by its identifier.
     *
     * @param submodelId identifier of the submodel
     * @param index the text box's index
     */
    public native void deleteTextBox(String submodelId, int index);
}
