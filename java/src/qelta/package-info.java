/**
 * Bayesian networks, influence diagrams and dynamic networks held by a native
 * library. {@link qelta.Network} is the entry point: it holds the nodes, their
 * definitions and evidence, updates beliefs and reads and writes files; every
 * failure arrives as {@link qelta.QELTAException}. The learning algorithms are in
 * the package {@code qelta.learning}.
 *
 * <h2 id="expressions">The expression language</h2>
 *
 * <p>Three kinds of text are written in one expression language:
 * <ul>
 * <li>the equation of an equation node, {@link Network#setNodeEquation(int, String)}:
 *   "left = right", such as {@code y = a * Exp(-b) + (c > 2 ? 1 : 0)}, whose
 *   names are identifiers of nodes (see <a href="#expressions-equations">Equations</a>);
 * <li>the expressions of a multi-attribute utility node,
 *   {@link Network#setMauExpressions(int, String[])}, such as
 *   {@code Money*Money/100 + Health}, whose names are identifiers of utility and
 *   multi-attribute utility nodes and stand for their expected utilities;
 * <li>the user-defined functions of a network, {@link Network#setExtFunctions(String[])},
 *   such as {@code f(x) = x*2}, which the equations and multi-attribute utility
 *   expressions of that network call like built-in functions (see
 *   <a href="#expressions-user-functions">User-defined functions</a>).
 * </ul>
 *
 * <p>Every value is a double. Comparisons and the logical functions give 1 for
 * true and 0 for false; a condition is false exactly when it is 0, so NaN counts
 * as true. Evaluation never fails: arithmetic follows IEEE rules (1/0 is
 * infinity, 0/0 and {@code Sqrt(-1)} are NaN, {@code Ln(0)} is minus infinity).
 * Arguments outside the range a function's row gives are not refused either: the
 * function's formula is applied to them as it stands. For most functions that gives
 * NaN or an infinity ({@code Acos(2)} is NaN); for some it gives an ordinary number,
 * which their rows state ({@code NormalPDF(0, 0, -1)} is -0.3989, {@code Trim(1, 3,
 * 0)} is 3). An equation node whose every sample is NaN or infinite fails the update
 * with code -5 ("No valid samples were generated for node <i>id</i>"); one whose
 * samples are only partly so keeps them, as
 * <a href="Network.html#equation-updates">Networks with equation nodes</a> says.
 *
 * <h3 id="expressions-tokens">Numbers, names and texts</h3>
 *
 * <ul>
 * <li>Blanks, tabs and line breaks between tokens are ignored.
 * <li>A number starts with a digit or a point and is read as the C library's
 *   {@code strtod} reads it in the "C" locale, whatever the process locale:
 *   {@code 2}, {@code 0.5}, {@code .5}, {@code 1e3}, {@code 2.5E-4}, and
 *   hexadecimal ({@code 0x1F} is 31). A lone point is refused with "Invalid numeric
 *   literal". No number starts with a letter or a sign: infinity is
 *   {@code Inf()}, &pi; is {@code Pi()}, and a minus sign in front of a number is the
 *   unary minus.
 * <li>A name starts with a letter and goes on with letters, digits and
 *   underscores (bytes of 0x80 and above, as in UTF-8 text, count as letters);
 *   {@code x_1} is one name, {@code _x} is refused with "Invalid token". A name
 *   followed by "(" calls a function, any other name is a variable. Variables
 *   compare with their letter case; function names without it: {@code ROUND(2.5)}
 *   calls {@code Round} and is written back as {@code Round(2.5)}.
 * <li>A text is written between double quotes, such as {@code "rain"}; it ends at the
 *   next double quote (there are no escapes). Texts name outcomes of a chance node
 *   in equations (see <a href="#expressions-equations">Equations</a>); anywhere else a
 *   text evaluates to NaN.
 * </ul>
 *
 * <h3 id="expressions-operators">Operators</h3>
 *
 * <table class="striped">
 * <caption>Operators, loosest binding first</caption>
 * <thead><tr><th>Operators</th><th>Meaning</th><th>Grouping</th></tr></thead>
 * <tbody>
 * <tr><td>{@code c ? a : b}</td><td>the conditional: {@code a} when {@code c} is not 0,
 *   else {@code b}; only the chosen branch is evaluated</td>
 *   <td>to the right: {@code a ? b : c ? d : e} is {@code a ? b : (c ? d : e)}</td></tr>
 * <tr><td>{@code =}, {@code <>}</td><td>equal, not equal: 1 or 0; with a NaN side
 *   {@code =} gives 0 and {@code <>} gives 1</td>
 *   <td>to the left: {@code a = b = c} is {@code (a = b) = c}</td></tr>
 * <tr><td>{@code <}, {@code <=}, {@code >}, {@code >=}</td><td>comparisons: 1 or 0; 0
 *   with a NaN side</td><td>to the left: {@code a < b = c} is {@code (a < b) = c}</td></tr>
 * <tr><td>{@code +}, {@code -}</td><td>sum, difference</td>
 *   <td>to the left: {@code 1 - 2 - 3} is {@code (1 - 2) - 3}, -4</td></tr>
 * <tr><td>{@code *}, {@code /}</td><td>product, quotient</td><td>to the left</td></tr>
 * <tr><td>{@code ^}</td><td>power, the C library's {@code pow}</td>
 *   <td>to the left: {@code 2^3^2} is {@code (2^3)^2}, 64, not 2<sup>9</sup></td></tr>
 * <tr><td>{@code -x}</td><td>unary minus, binding tighter than every operator above:
 *   {@code -2^2} is {@code (-2)^2}, 4 (write {@code -(2^2)} for -4)</td><td></td></tr>
 * </tbody>
 * </table>
 *
 * <p>Parentheses group as usual. There is no unary plus and no other operator:
 * {@code ==}, {@code !=}, {@code &&}, {@code ||}, {@code !} and {@code %} are refused
 * (use {@code =}, {@code <>}, {@code And}, {@code Or}, {@code c = 0} and
 * {@code Mod}); so is {@code Pow}: write {@code a^b}.
 *
 * <p>Because the conditional binds more loosely than {@code =}, and {@code =} and
 * {@code <>} more loosely than every other operator, an equation (and a user-defined
 * function) puts a conditional, or a comparison by {@code =} or {@code <>}, on its right
 * side in parentheses: {@code y = (c > 2 ? 1 : 0)}, {@code y = (a = b)}. Without them
 * {@code y = c > 2 ? 1 : 0} reads as {@code (y = c > 2) ? 1 : 0} and is refused with
 * "Toplevel '=' sign missing in equation", and {@code y = a = b} reads as
 * {@code (y = a) = b}, which cannot be solved for {@code y}. {@code If(c, a, b)} is
 * the same as {@code (c ? a : b)} and needs no parentheses.
 *
 * <h3 id="expressions-functions">Built-in functions</h3>
 *
 * <p>The functions below are every built-in function. A call with another number of
 * arguments than the function takes is refused ("Function Log requires 2
 * parameters", "Function Max requires at least 2 parameters"); a name that is
 * neither built-in nor user-defined with "Unknown function: <i>name</i>". Angles are
 * in radians. "Truncated" means cut to a whole number toward zero. {@code Fact},
 * {@code FactDouble}, {@code Combin}, {@code Multinomial}, {@code GCD}, {@code LCM}
 * and {@code Binomial} give NaN for a NaN argument and for one beyond the 64-bit
 * integers, the p of {@code Binomial} excepted (see its row).
 *
 * <table class="striped">
 * <caption>Arithmetic and special functions</caption>
 * <thead><tr><th>Call</th><th>Result</th><th>Arguments</th></tr></thead>
 * <tbody>
 * <tr id="fn-Abs"><td>{@code Abs(x)}</td><td>|x|</td><td>any</td></tr>
 * <tr id="fn-Acos"><td>{@code Acos(x)}</td><td>arc cosine, 0 to &pi;</td>
 *   <td>x in [-1, 1], else NaN</td></tr>
 * <tr id="fn-Asin"><td>{@code Asin(x)}</td><td>arc sine, -&pi;/2 to &pi;/2</td>
 *   <td>x in [-1, 1], else NaN</td></tr>
 * <tr id="fn-Atan"><td>{@code Atan(x)}</td><td>arc tangent, -&pi;/2 to &pi;/2</td>
 *   <td>any</td></tr>
 * <tr id="fn-Atan2"><td>{@code Atan2(y, x)}</td><td>angle of the point (x, y), -&pi; to
 *   &pi;</td><td>y first</td></tr>
 * <tr id="fn-Cos"><td>{@code Cos(x)}</td><td>cosine</td><td>any</td></tr>
 * <tr id="fn-Cosh"><td>{@code Cosh(x)}</td><td>hyperbolic cosine</td><td>any</td></tr>
 * <tr id="fn-Erf"><td>{@code Erf(x)}</td><td>error function</td><td>any</td></tr>
 * <tr id="fn-Exp"><td>{@code Exp(x)}</td><td>e<sup>x</sup></td><td>any</td></tr>
 * <tr id="fn-Gammaln"><td>{@code Gammaln(x)}</td><td>ln &Gamma;(x), by a six-term series
 *   (about 10 significant digits)</td><td>x &gt; 0 (0 gives infinity, a negative zero
 *   NaN; a negative x gives what the same series gives: infinity at -2, -4 and -5.5
 *   ({@code Gammaln(-4)} is infinity); a number between -2 and -1, -4 and -3, or -5.5 and
 *   -5, which is ln |&Gamma;(x)| to about 9 digits between -2 and -1
 *   ({@code Gammaln(-1.5)} is 0.86005), to about 5 between -4 and -3, and far from it
 *   towards -5.5 ({@code Gammaln(-5.45)} is 2.35333, where ln |&Gamma;(x)| is -4.416);
 *   NaN at every other negative x, such as -1, -3, -5, -0.5, -2.5, -4.5 and every x
 *   below -5.5 ({@code Gammaln(-6.5)} is NaN))</td></tr>
 * <tr id="fn-Inf"><td>{@code Inf()}</td><td>plus infinity; {@code -Inf()} is minus
 *   infinity</td><td>none</td></tr>
 * <tr id="fn-Ln"><td>{@code Ln(x)}</td><td>natural logarithm</td><td>x &gt; 0 (0 gives
 *   minus infinity, a negative x NaN)</td></tr>
 * <tr id="fn-Log"><td>{@code Log(x, b)}</td><td>logarithm of x to the base b,
 *   Ln(x)/Ln(b): {@code Log(8, 2)} is 3</td><td>x &gt; 0; b &gt; 0 and b &ne; 1. A base
 *   of 0 gives a zero, negative from x = 1 on: {@code Log(8, 0)} is -0,
 *   {@code Log(0.5, 0)} is 0. Two arguments always: for one, use {@code Ln} or
 *   {@code Log10}</td></tr>
 * <tr id="fn-Log10"><td>{@code Log10(x)}</td><td>logarithm to the base 10</td>
 *   <td>x &gt; 0</td></tr>
 * <tr id="fn-Mod"><td>{@code Mod(a, b)}</td><td>remainder of a/b with the sign of a:
 *   {@code Mod(-7, 3)} is -1</td><td>b &ne; 0, else NaN</td></tr>
 * <tr id="fn-NormalCDF"><td>{@code NormalCDF(x, mu, sigma)}</td><td>probability that a
 *   normal variable of mean mu and standard deviation sigma is at most x:
 *   (1 + Erf((x - mu)/(sigma&radic;2)))/2</td>
 *   <td>sigma &gt; 0. The formula also answers for other sigma: a negative sigma gives
 *   1 minus the probability for |sigma| ({@code NormalCDF(1, 0, -1)} is 0.1587); 0 gives
 *   1 for x above mu ({@code NormalCDF(1, 0, 0)} is 1), 0 below it and NaN at
 *   mu</td></tr>
 * <tr id="fn-NormalPDF"><td>{@code NormalPDF(x, mu, sigma)}</td><td>density at x of the
 *   normal distribution of mean mu and standard deviation sigma:
 *   e<sup>-z&sup2;/2</sup>/(sigma&radic;(2&pi;)) with z = (x - mu)/sigma</td>
 *   <td>sigma &gt; 0. A negative sigma gives the density for |sigma| negated
 *   ({@code NormalPDF(0, 0, -1)} is -0.3989); 0 gives NaN</td></tr>
 * <tr id="fn-Pi"><td>{@code Pi()}</td><td>&pi;, 3.141592653589793</td><td>none</td></tr>
 * <tr id="fn-Pow10"><td>{@code Pow10(x)}</td><td>10<sup>x</sup> (other powers:
 *   {@code a^b})</td><td>any</td></tr>
 * <tr id="fn-Sign"><td>{@code Sign(x)}</td><td>1, -1 or 0 by the sign of x; 0 for
 *   NaN</td><td>any</td></tr>
 * <tr id="fn-Sin"><td>{@code Sin(x)}</td><td>sine</td><td>any</td></tr>
 * <tr id="fn-Sinh"><td>{@code Sinh(x)}</td><td>hyperbolic sine</td><td>any</td></tr>
 * <tr id="fn-Sqr"><td>{@code Sqr(x)}</td><td>x<sup>2</sup></td><td>any</td></tr>
 * <tr id="fn-Sqrt"><td>{@code Sqrt(x)}</td><td>square root</td><td>x &ge; 0</td></tr>
 * <tr id="fn-SqrtPi"><td>{@code SqrtPi(x)}</td><td>square root of x&middot;&pi;</td>
 *   <td>x &ge; 0</td></tr>
 * <tr id="fn-Tan"><td>{@code Tan(x)}</td><td>tangent</td><td>any</td></tr>
 * <tr id="fn-Tanh"><td>{@code Tanh(x)}</td><td>hyperbolic tangent</td><td>any</td></tr>
 * </tbody>
 * </table>
 *
 * <table class="striped">
 * <caption>Rounding and whole numbers</caption>
 * <thead><tr><th>Call</th><th>Result</th><th>Arguments</th></tr></thead>
 * <tbody>
 * <tr id="fn-Round"><td>{@code Round(x)}</td><td>floor(x + 0.5), the sum taken in
 *   doubles: the nearest whole number, halves upward ({@code Round(2.5)} is 3,
 *   {@code Round(-2.5)} is -2), except that the largest double below a half rounds
 *   the sum up to 1: {@code Round(0.49999999999999994)} is 1</td><td>any</td></tr>
 * <tr id="fn-Truncate"><td>{@code Truncate(x)}</td><td>x truncated:
 *   {@code Truncate(-2.7)} is -2</td><td>any</td></tr>
 * <tr id="fn-Trim"><td>{@code Trim(x, lo, hi)}</td><td>x held within [lo, hi]: lo when
 *   x &lt; lo, otherwise hi when x &gt; hi, otherwise x</td><td>lo &le; hi. With lo
 *   &gt; hi the same order holds: {@code Trim(1, 3, 0)} is 3, {@code Trim(5, 3, 0)} is
 *   0</td></tr>
 * <tr id="fn-Fact"><td>{@code Fact(n)}</td><td>n! of n truncated: {@code Fact(3.9)} is
 *   6</td><td>n &ge; 0 (a negative n gives 0); infinity from 171 on ({@code Fact(171)} is
 *   infinity)</td></tr>
 * <tr id="fn-FactDouble"><td>{@code FactDouble(n)}</td><td>n!! = n(n-2)(n-4)... of n
 *   truncated: {@code FactDouble(5)} is 15; 1 for 0 and 1</td><td>n &ge; 0 (a negative
 *   n gives 0)</td></tr>
 * <tr id="fn-Combin"><td>{@code Combin(n, k)}</td><td>the binomial coefficient n!/(k!
 *   (n-k)!) of |n| and |k| truncated: {@code Combin(5, 2)} is 10</td><td>k &le; n (else
 *   infinity)</td></tr>
 * <tr id="fn-Multinomial"><td>{@code Multinomial(n1, n2, ...)}</td><td>(n1 + n2 +
 *   ...)!/(n1! n2! ...) of the arguments truncated</td><td>each &ge; 0 (a negative one
 *   gives infinity or NaN)</td></tr>
 * <tr id="fn-GCD"><td>{@code GCD(a, b)}</td><td>greatest common divisor of |a| and |b|
 *   truncated; {@code GCD(a, 0)} is |a|</td><td>any</td></tr>
 * <tr id="fn-LCM"><td>{@code LCM(a, b)}</td><td>least common multiple of |a| and |b|
 *   truncated; 0 when either is 0</td><td>NaN when the result passes 64-bit
 *   integers</td></tr>
 * </tbody>
 * </table>
 *
 * <table class="striped">
 * <caption>Aggregates, logic and selection</caption>
 * <thead><tr><th>Call</th><th>Result</th><th>Arguments</th></tr></thead>
 * <tbody>
 * <tr id="fn-Sum"><td>{@code Sum(a, b, ...)}</td><td>a + b + ...</td><td>two or
 *   more</td></tr>
 * <tr id="fn-SumSq"><td>{@code SumSq(a, b, ...)}</td><td>a<sup>2</sup> + b<sup>2</sup> +
 *   ...</td><td>two or more</td></tr>
 * <tr id="fn-Max"><td>{@code Max(a, b, ...)}</td><td>the largest argument; a NaN after
 *   the first is passed over, a NaN first argument stays the result</td><td>two or
 *   more</td></tr>
 * <tr id="fn-Min"><td>{@code Min(a, b, ...)}</td><td>the smallest argument; NaN as for
 *   {@code Max}</td><td>two or more</td></tr>
 * <tr id="fn-And"><td>{@code And(a, b, ...)}</td><td>1 when no argument is 0, else 0;
 *   arguments after the first 0 are not evaluated</td><td>two or more</td></tr>
 * <tr id="fn-Or"><td>{@code Or(a, b, ...)}</td><td>1 when some argument is not 0, else
 *   0; arguments after the first such are not evaluated</td><td>two or more</td></tr>
 * <tr id="fn-Xor"><td>{@code Xor(a, b, ...)}</td><td>1 when an odd number of arguments
 *   are not 0, else 0</td><td>two or more</td></tr>
 * <tr id="fn-If"><td>{@code If(c, a, b)}</td><td>a when c is not 0, else b; only the
 *   chosen one is evaluated. The same as {@code (c ? a : b)}</td><td>any</td></tr>
 * <tr id="fn-Choose"><td>{@code Choose(i, x0, x1, ...)}</td><td>x<sub>i</sub>, counted
 *   from 0 after the index, for i truncated; 0 when i is outside 0 to the last;
 *   only the chosen value is evaluated. With a chance node as i, the index of its
 *   outcome: {@code Choose(Weather, 5, 7, 9)}</td><td>an index and two or more
 *   values</td></tr>
 * <tr id="fn-Switch"><td>{@code Switch(x, c1, r1, c2, r2, ..., [default])}</td><td>the
 *   r of the first c equal to x; without a match the default when the argument
 *   count is even, else 0. With a chance node as x the cases may be its outcome
 *   identifiers: {@code Switch(Weather, "sunny", 1, "rain", 2, 0)}</td><td>x and at
 *   least one more</td></tr>
 * </tbody>
 * </table>
 *
 * <p id="random-functions">The random generators below draw a new value at every
 * evaluation, from the network's random generator ({@link Network#setRandSeed(int)}:
 * a seed other than 0 repeats the draws). An equation that calls one, directly or
 * through a user-defined function, is random ({@link
 * Network#isNodeEquationDeterministic(int)} is false; see
 * <a href="Network.html#equation-updates">updating networks with equation nodes</a>
 * for what that changes). Multi-attribute utility expressions refuse them, also
 * through a user-defined function that calls one, with "Random number generators
 * not allowed". Arguments out of range are not refused: they give what the
 * Arguments column says, often NaN.
 *
 * <table class="striped">
 * <caption>Random generators</caption>
 * <thead><tr><th>Call</th><th>Draws</th><th>Arguments</th></tr></thead>
 * <tbody>
 * <tr id="fn-Bernoulli"><td>{@code Bernoulli(p)}</td><td>1 with probability p, else
 *   0</td><td>p in [0, 1]; NaN when p is not finite. A finite p above 1 gives 1 at
 *   every draw, one below 0 gives 0: {@code Bernoulli(1.5)} is 1, {@code Bernoulli(-0.5)}
 *   is 0</td></tr>
 * <tr id="fn-Beta"><td>{@code Beta(a, b)}</td><td>beta distribution of shapes a and b,
 *   on [0, 1]</td><td>a &gt; 0, b &gt; 0, else NaN</td></tr>
 * <tr id="fn-Binomial"><td>{@code Binomial(n, p)}</td><td>number of successes in n
 *   trials (n truncated) of probability p</td><td>n &ge; 0 (below 1 gives 0), p in
 *   [0, 1]. A p of 1 or more gives n at every draw ({@code Binomial(5, 1.5)} is 5), a p
 *   of 0 or less, or NaN, gives 0</td></tr>
 * <tr id="fn-CustomPDF"><td>{@code CustomPDF(x1, ..., xk, h1, ..., hk)}</td><td>the
 *   piecewise-linear density through the points (x<sub>i</sub>, h<sub>i</sub>):
 *   the first half of the arguments are the points, the second half their
 *   heights</td><td>an even count, 4 or more; points ascending, heights &ge; 0. Other
 *   points and heights still draw, each draw within one segment, so (for finite points)
 *   between the smallest and the largest point: {@code CustomPDF(0, 1, -1, -1)} draws
 *   uniformly in [0, 1]</td></tr>
 * <tr id="fn-Discrete"><td>{@code Discrete(x1, ..., xk, w1, ..., wk)}</td><td>x<sub>i</sub>
 *   with probability w<sub>i</sub> / (w<sub>1</sub> + ... + w<sub>k</sub>); only the
 *   chosen value is evaluated</td><td>an even count, 4 or more; weights &ge; 0, not all
 *   0, not necessarily summing to 1. Other weights still draw: the value is the first
 *   whose running sum of weights exceeds u times their total (u uniform in [0, 1)),
 *   else the last, so {@code Discrete(1, 2, 0, 0)} and {@code Discrete(1, 2, -1, 1)}
 *   are 2 at every draw</td></tr>
 * <tr id="fn-Exponential"><td>{@code Exponential(lambda)}</td><td>exponential
 *   distribution of rate lambda (mean 1/lambda): -ln(u)/lambda, u uniform in (0,
 *   1)</td><td>lambda &gt; 0 (a negative lambda draws values below 0, 0 gives
 *   infinity)</td></tr>
 * <tr id="fn-Gamma"><td>{@code Gamma(shape, scale)}</td><td>gamma distribution, mean
 *   shape&middot;scale</td><td>both &gt; 0, else NaN</td></tr>
 * <tr id="fn-Lognormal"><td>{@code Lognormal(mu, sigma)}</td><td>e<sup>mu + sigma
 *   Z</sup> with Z standard normal: mu and sigma are the mean and standard deviation
 *   of the logarithm</td><td>sigma &ge; 0 (a negative sigma draws as |sigma|
 *   does)</td></tr>
 * <tr id="fn-Metalog"><td>{@code Metalog(lo, hi, n, x1, ..., xk, p1, ..., pk)}</td><td>a
 *   metalog distribution of n terms fitted to k quantiles (see
 *   <a href="#expressions-metalog">Metalog distributions</a>)</td><td>an odd count, 7
 *   or more</td></tr>
 * <tr id="fn-MetalogA"><td>{@code MetalogA(lo, hi, a1, a2, ...)}</td><td>a metalog
 *   distribution with the given coefficients (see
 *   <a href="#expressions-metalog">Metalog distributions</a>)</td><td>4 or more</td></tr>
 * <tr id="fn-Normal"><td>{@code Normal(mean, sd)}</td><td>normal distribution; the
 *   second argument is the standard deviation, not the variance: {@code Normal(10, 2)}
 *   has variance 4</td><td>sd &ge; 0; a negative sd gives NaN</td></tr>
 * <tr id="fn-Poisson"><td>{@code Poisson(lambda)}</td><td>Poisson count of mean
 *   lambda</td><td>lambda &gt; 0; 0, a negative, an infinite or a NaN lambda gives -1
 *   ({@code Poisson(Inf())} is -1); a finite lambda above 2<sup>62</sup> gives
 *   NaN</td></tr>
 * <tr id="fn-Steps"><td>{@code Steps(b0, ..., bk, h1, ..., hk)}</td><td>the
 *   piecewise-constant density of height h<sub>i</sub> between b<sub>i-1</sub> and
 *   b<sub>i</sub>: the first k+1 arguments are the boundaries, the last k the
 *   heights</td><td>an odd count, 3 or more; boundaries ascending, heights &ge; 0.
 *   Other boundaries and heights still draw, uniformly within one step, so (for finite
 *   boundaries) between the smallest and the largest boundary: {@code Steps(1, 0, 1)}
 *   draws in [0, 1]</td></tr>
 * <tr id="fn-Triangular"><td>{@code Triangular(min, mode, max)}</td><td>triangular
 *   distribution</td><td>min &le; mode &le; max, min &lt; max; other arguments may draw
 *   values outside [min, max]</td></tr>
 * <tr id="fn-TruncNormal"><td>{@code TruncNormal(mean, sd, low[, high])}</td><td>normal
 *   distribution of mean and sd restricted to values of at least low (and at most
 *   high)</td><td>3 or 4 arguments; sd &ge; 0; NaN when no value is left</td></tr>
 * <tr id="fn-Uniform"><td>{@code Uniform(a, b)}</td><td>uniform distribution between a
 *   and b: a + (b - a)u, u uniform in [0, 1)</td><td>a &lt; b; with a &gt; b it draws
 *   between b and a ({@code Uniform(3, 1)} in (1, 3]), with a = b it gives a</td></tr>
 * <tr id="fn-Weibull"><td>{@code Weibull(lambda, k)}</td><td>Weibull distribution of
 *   scale lambda and shape k: lambda(-ln u)<sup>1/k</sup>, u uniform in (0, 1)</td>
 *   <td>lambda &gt; 0, k &gt; 0 (a negative lambda negates the draws of |lambda|). A
 *   negative k draws ordinary numbers by the same formula ({@code Weibull(1, -1)} draws
 *   1/(-ln u), above 0); a k of 0 draws only zeros and infinities: {@code Weibull(1,
 *   0)} draws 0 when u &gt; 1/e, else infinity</td></tr>
 * </tbody>
 * </table>
 *
 * <p>Too few arguments are refused with the parser's message for every function:
 * "Function TruncNormal requires at least 3 parameters" ({@code TruncNormal(0, 1)}),
 * "Function CustomPDF requires at least 4 parameters", "Function Discrete requires at
 * least 4 parameters", "Function Metalog requires at least 7 parameters", "Function
 * Steps requires at least 3 parameters". Enough arguments in a count the function
 * cannot split are refused with the function's own message: "CustomPDF function
 * requires even number of parameters equal or greater than 4" and "Discrete function
 * requires even number of parameters equal or greater than 4" (an odd count), "Metalog
 * function requires odd number of parameters equal or greater than 7" and "Steps
 * function requires odd number of parameters equal or greater than 3" (an even
 * count), "TruncNormal function requires 3 or 4 parameters" (5 or more).
 *
 * <h3 id="expressions-metalog">Metalog distributions</h3>
 *
 * <p>{@code MetalogA(lo, hi, a1, ..., am)} draws from the metalog distribution of the
 * m &ge; 2 coefficients a<sub>1</sub> ... a<sub>m</sub>.
 * {@code Metalog(lo, hi, n, x1, ..., xk, p1, ..., pk)} first fits a metalog of n terms
 * (n truncated) to k quantiles by least squares, x<sub>i</sub> being the value at
 * cumulative probability p<sub>i</sub> (0 &lt; p<sub>i</sub> &lt; 1), then draws from
 * it; take 2 &le; n &le; k (with n = k the fit passes through every quantile). The fit
 * is made once per call and set of argument values and reused while an update
 * draws.
 *
 * <p>lo and hi bound the distribution; a bound that is not finite ({@code -Inf()},
 * {@code Inf()}) leaves that side open. The quantile function is M(y) =
 * a<sub>1</sub> + a<sub>2</sub>L + a<sub>3</sub>cL + a<sub>4</sub>c +
 * a<sub>5</sub>c<sup>2</sup> + a<sub>6</sub>c<sup>2</sup>L + a<sub>7</sub>c<sup>3</sup> +
 * a<sub>8</sub>c<sup>3</sup>L + ..., with L = ln(y/(1-y)) and c = y - 0.5; a draw is
 * M(u) for u uniform in [0, 1), mapped into the bounds: (lo + hi&middot;e<sup>M</sup>)/(1 +
 * e<sup>M</sup>) when both bounds are finite, lo + e<sup>M</sup> with only lo, hi -
 * e<sup>-M</sup> with only hi, M itself with neither. So {@code MetalogA(0, 1, 0, 1)}
 * is uniform on [0, 1] and {@code Metalog(-Inf(), Inf(), 2, 1, 3, 0.1, 0.9)} is the
 * logistic distribution whose 10% and 90% quantiles are 1 and 3. lo &ge; hi, n &lt; 2
 * or quantile values outside the bounds give NaN.
 *
 * <h3 id="expressions-equations">Equations</h3>
 *
 * <p>An equation node's text has the form "left = right", each side an expression.
 * Its variables are identifiers of nodes, compared with their letter case: the node
 * itself and its parents, which become exactly the other nodes the text names (a
 * name that is no node is refused with "Unknown node identifier: <i>name</i>", one
 * of the node's descendants because it would make a cycle). Parents may be equation
 * nodes and chance nodes with a table (CPT, truth table, noisy-MAX, noisy-adder);
 * not decisions, utility nodes or the other kinds.
 *
 * <p>The equation is solved for the node when its value is needed. Written as
 * {@code id = expression} without {@code id} on the right, it needs no solving;
 * otherwise the node's identifier must occur exactly once, under only {@code +},
 * {@code -}, {@code *}, {@code /}, {@code ^} and the functions that have an inverse
 * ({@code Sin} and {@code Asin}, {@code Cos} and {@code Acos}, {@code Tan} and
 * {@code Atan}, {@code Exp} and {@code Ln}, {@code Sqr} and {@code Sqrt},
 * {@code Pow10} and {@code Log10}, and {@code Log}): {@code 2*y + 1 = x} is solved to
 * {@code y = (x - 1)/2}, and {@code Sqr(y) = x} to the principal value {@code y =
 * Sqrt(x)}. An equation that cannot be solved is accepted when set and fails the
 * update with code -6 "Can't solve the equation for <i>id</i> : <i>equation</i>"
 * ({@code y*y = x}, {@code Abs(y) = x}). An equation that names no node but its
 * own ({@code x = 5}) is constant ({@link Network#isNodeEquationConstant(int)}).
 *
 * <p>A chance-node parent's variable has, in each sample, the value of its outcome:
 * the outcome's point value when the node has point values
 * ({@link Network#setPointValues(int, double[])}), a value drawn within the outcome's
 * interval when its outcomes are intervals, else the outcome's index (0 for the
 * first). A text compared with such a variable ({@code Weather = "rain"},
 * {@code Weather <> "rain"}), or a case of {@code Switch(Weather, ...)}, must be
 * one of its outcome identifiers, and the comparison is made on the outcome; any
 * other text in an equation is refused with "Invalid text literal:
 * \"<i>text</i>\"." ({@code Weather = "fog"}). So
 * {@code y = If(Weather = "rain", 10, 0)} gives 10 in the samples where Weather is
 * "rain". {@link Network#getNodeEquation(int)} answers the equation as the system
 * writes it: no blanks around operators and after commas, " ? " and " : " around
 * the parts of a conditional, only the parentheses the grouping needs, function
 * names in the letter case of the tables above.
 *
 * <h3 id="expressions-user-functions">User-defined functions</h3>
 *
 * <p>{@link Network#setExtFunctions(String[])} takes one definition per element, of
 * the form <i>name</i>(<i>p1</i>, <i>p2</i>, ...) = <i>body</i>, and replaces the
 * network's whole list. Equations and multi-attribute utility expressions then call
 * them like built-in functions, with exactly as many arguments as parameters:
 * <pre>{@code
 * net.setExtFunctions(new String[] {"f(x) = x*2", "g(a, b) = f(a) + b"});
 * net.setNodeEquation("y", "y = g(x, 1)");   // y = 2x + 1, with x a node
 * }</pre>
 *
 * <ul>
 * <li>The name must not be a built-in function's or an earlier definition's
 *   ("Cannot redefine function Sin"); calls find it without regard to letter
 *   case, {@code F(3)} calls {@code f}.
 * <li>Every parameter is a name used in the body ("y: parameter not found in
 *   function body", "x: duplicate parameter name", "Parameter name required"), and
 *   the body names nothing else: no node identifiers ("z: not a function
 *   parameter"), and no text literal, which a parameter cannot compare with an
 *   outcome (<code>Invalid text literal: "s1".</code>). A function may have no
 *   parameters: {@code k() = 3}.
 * <li>The body may call built-in functions and functions defined earlier in the same
 *   list; not itself, nor a later one ("Unknown function: <i>name</i>"), so there is
 *   no recursion.
 * <li>The text needs its "=" at the top: {@code f(x) = (x > 1 ? 2 : 3)} with the
 *   parentheses; otherwise "Missing toplevel =", and "Function name required on the
 *   LHS" when the left side is no call.
 * <li>A call evaluates its arguments, then the body with each parameter taking its
 *   argument's value. A body that calls a random generator makes every call of the
 *   function random. One call may evaluate at most 1,000,000 expression nodes,
 *   nested calls counted ("<i>name</i>: one call would evaluate more than 1000000
 *   expression nodes").
 * <li>The list is refused, and the old one kept, when an equation or multi-attribute
 *   utility expression of the network would no longer work with it: "f: function not
 *   found in node <i>id</i>", "f: expected parameter count is 2 in node <i>id</i>",
 *   "f: random number generators not allowed in node <i>id</i>" (a multi-attribute
 *   utility node), or "Expression is nested too deeply in node <i>id</i>". Such a
 *   failure gives position 0 and the index of the new definition concerned (-1 when
 *   the function is missing or for the nesting).
 * <li>{@link Network#getExtFunctions()} answers the definitions as the system writes
 *   them ({@code f(x)=x*2}).
 * </ul>
 *
 * <h3 id="expressions-limits">Nesting limit</h3>
 *
 * <p>An expression nests at most 150 levels: each parenthesis pair, unary minus,
 * function call, conditional and operator on one path from the outside in counts
 * one, and a call of a user-defined function also counts the levels of its body.
 * The "=" of an equation or of a user-defined function's definition is one of the
 * levels, so its right side has 149: {@code Abs(f(x))} with a body of 148 levels
 * nests 150. Deeper text is refused with "Expression is nested too deeply: more
 * than 150 levels, each operator of a chain such as a+b+c counting one; write Sum(a,
 * b, c, ...) or group the terms with parentheses". A chain of operators nests one
 * level per operator, so a typed sum of about 150 terms is refused, while
 * {@code Sum(a, b, c, ...)} nests two levels whatever its number of arguments, and
 * {@code (a+b+...)+(c+d+...)} nests half as deep. Arcs follow the same limit: adding a
 * parent to an equation node adds "+ <i>parent</i>" to its right side, and a utility
 * parent of a multi-attribute utility node to each of its expressions, and a sum that
 * grows too long is regrouped in parentheses (so a node may have hundreds of
 * parents); the arc is refused with "Expression is nested too deeply" only when a term
 * of the sum is itself nested too deeply to take one more level.
 *
 * <h3 id="expressions-errors">Error messages</h3>
 *
 * <p>The parser reports the first error it finds, as a message and a position: the
 * number of characters (bytes of the text's UTF-8 form) read when it found the
 * error, counted from 0. The position thus points just after the offending token:
 * {@code x==1} fails at position 3, {@code x=Log(8)} at position 8. Checks made
 * after parsing give the position where the offending name starts, or 0 when no
 * name is at fault. The methods throw {@link QELTAException} with these
 * messages:
 * <ul>
 * <li>{@link Network#setNodeEquation(int, String)}: code -2, "QELTA error -2 in
 *   function SetEquation. Invalid equation, error at position <i>N</i>:
 *   <i>message</i>"; besides the parser's messages: "Equation cannot be empty.",
 *   "Toplevel '=' sign missing in equation", "Unknown node identifier:
 *   <i>name</i>", "Node <i>name</i> can't be used in equation for current node,
 *   because it would result in a cycle.", "Node <i>name</i> can't be a parent of an
 *   equation node." and the invalid-text message above;
 * <li>{@link Network#setMauExpressions(int, String[])}: code -2, "Can't parse
 *   expression at index <i>i</i>, error at position <i>N</i>: <i>message</i>" (i
 *   counted from 0), or one of the refusals its documentation lists;
 * <li>{@link Network#setExtFunctions(String[])}: code -4, "Error in function
 *   #<i>i</i> at position <i>N</i>: <i>message</i>", i the definition's index from 0.
 * </ul>
 *
 * <p>The parser's messages: "Empty expression", "Invalid expression" (text left over,
 * as in {@code 1 2}), "Invalid token" (a character that starts no token, such as
 * {@code !}, {@code &}, {@code %} or {@code _}), "Invalid text literal, missing closing
 * quote", "Invalid numeric literal", "':' expected", "')' expected", "Factor
 * expected" (an operand missing, as in {@code x == 1} or {@code +3}), "Comma
 * expected in a function call", "Unknown function: <i>name</i>", "Function
 * <i>name</i> requires <i>n</i> parameters" (or "at least <i>n</i>"; "parameter" for
 * 1), the argument-count messages of the random generators above, and the nesting
 * message of <a href="#expressions-limits">Nesting limit</a>.
 */
package qelta;
