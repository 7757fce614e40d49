## sfblock against Octave's own interp1 on many tables for all five charts:
## Harnvale extrapolates (interp1 'linear', 'extrap'), Quimbrel gives NaN outside
## the table (interp1 'linear', NaN). Tables ascend and descend, with even and
## uneven spacing and y scales from 1e-300 to 1e300; queries fall inside, on
## breakpoints, on both ends, and up to a tenth of the range outside.
charts = struct ("model", {"Harnvale", "Harnvale", "Harnvale", "Quimbrel", "Quimbrel"},
                 "chart", {1, 2, 3, 1, 2}, "n", {2402, 401, 243, 2722, 390});
rand ("seed", 14);
randn ("seed", 14);
worst = 0;
runs = 0;
for c = charts
  n = c.n;
  for t = 1:8
    switch (mod (t, 4))
      case 0
        x = linspace (-3, 7, n);
      case 1
        x = cumsum (0.01 + rand (1, n));
      case 2
        x = -5 + cumsum (exp (3 * randn (1, n)));
      case 3
        x = sort (unique (round (1e6 * rand (1, 3 * n))))(1:n) / 1e3;
    endswitch
    scale = 10 ^ (-300 + 600 * (t - 1) / 7);
    y = scale * (sin (x / 3) + 0.1 * randn (1, n));
    if (t > 4)
      x = fliplr (x);   # a descending table
      y = fliplr (y);
    endif
    lo = min (x);
    hi = max (x);
    w = hi - lo;
    z = [lo - w / 10 + 1.2 * w * rand(1, 200), x(1:37:end), lo, hi, lo - w / 10, hi + w / 10];
    y1 = sfblock (c.model, c.chart, x, y, z);
    if (strcmp (c.model, "Harnvale"))
      ref = interp1 (x, y, z, "linear", "extrap");
    else
      ref = interp1 (x, y, z, "linear", NaN);
    endif
    assert (size (y1), size (z));
    assert (isequal (isnan (y1), isnan (ref)), sprintf ("%s c%d table %d: NaN pattern", c.model, c.chart, t));
    ## y1 and interp1 compute the same interpolation in a different order of
    ## operations, so they may differ by rounding: at most 4 ulps of the larger of
    ## the table's largest |y| and |y1| (inside the table |y1| <= max|y|; an
    ## extrapolated value can exceed it, and its rounding grows with it). The
    ## worst seen over these tables is 3.
    ulps = abs (y1 - ref) ./ eps (max (max (abs (y)), abs (ref)));
    ulps(isnan (ulps)) = 0;
    worst = max (worst, max (ulps));
    assert (max (ulps) <= 4, sprintf ("%s c%d table %d: %g ulps of max|y|", c.model, c.chart,
                                       t, max (ulps)));
    runs += 1;
  endfor
  ## Exactly the table's values on its breakpoints.
  x = 1:n;
  y = (x .^ 2) / 7;
  assert (sfblock (c.model, c.chart, x, y, x), y);
  ## The two table errors, as Octave errors with the message identifiers.
  bad = x;
  bad(ceil (n / 2)) = NaN;
  try
    sfblock (c.model, c.chart, bad, y, 1);
    error ("test:noError", "a NaN breakpoint was accepted");
  catch err
    assert (err.identifier, "MATLAB:interp1:NaNinX");
    assert (! isempty (strfind (err.message, "NaN is not an allowed value in the breakpoints X.")));
  end_try_catch
  bad = x;
  bad(ceil (n / 3) + 1) = bad(ceil (n / 3));
  try
    sfblock (c.model, c.chart, bad, y, 1);
    error ("test:noError", "a repeated breakpoint was accepted");
  catch err
    assert (err.identifier, "Coder:toolbox:interp1_nonMonotonicX");
  end_try_catch
  ## A run cut in two, the second half restored from the first, ends in the
  ## same state with the same outputs as the whole run.
  z = linspace (-2, n + 2, 9);
  [whole, s_whole] = sfblock (c.model, c.chart, x, y, z, "blocks", 2);
  [first, s_first] = sfblock (c.model, c.chart, x, y, z(1:4));
  [second, s_second] = sfblock (c.model, c.chart, x, y, z(5:end), "state", s_first);
  assert ([first, second], whole);
  assert (s_second, s_whole);
  assert (s_whole.y1, whole(end));
  assert (class (s_whole.(sprintf ("is_active_c%d_%s", c.chart, c.model))), "uint8");
  assert (fieldnames (s_whole)', {"blockHandle", "chartChecksum", "y1", ...
                                  sprintf("is_active_c%d_%s", c.chart, c.model)});
endfor
## A state saved from another chart is refused.
[~, s2] = sfblock ("Harnvale", 2, 1:401, 1:401, 1);
try
  sfblock ("Harnvale", 3, 1:243, 1:243, 1, "state", s2);
  error ("test:noError", "a state of another chart was accepted");
catch err
  assert (err.identifier, "Stateflow:SimState:Mismatch");
end_try_catch
## Argument errors: every argument goes through one check, which names it and
## says what it got; the identifier is the argument's. Sparse, complex, integer,
## single, logical, cell and struct arrays are refused, never read as doubles.
long_name = repmat ("a", 1, 1e6);
h2 = {"Harnvale", 2, 1:401, 1:401};
bad_calls = {{"Harnvale", 2, 1:401, 1:401}, "sfblock:usage", "usage: y1 = sfblock(";
             {"Harnvale", 2, 1:401, 1:401, 1, "rate"}, "sfblock:usage", "usage: y1 = sfblock(";
             {"Nope", 2, 1:401, 1:401, 1}, "sfblock:model", "the model must be 'Harnvale' or 'Quimbrel'; got 'Nope'";
             {["Harnvale" char(0) "junk"], 2, 1:401, 1:401, 1}, "sfblock:model", "the model must be a text without NUL characters; got 'Harnvale\\x00junk'";
             {["Harn"; "vale"], 2, 1:401, 1:401, 1}, "sfblock:model", "the model must be a text (a character row); got a 2x4 char array";
             {{"Harnvale"}, 2, 1:401, 1:401, 1}, "sfblock:model", "got a 1x1 cell array";
             {"Quimbrel", 3, 1:401, 1:401, 1}, "sfblock:chart", "the chart of Quimbrel must be a whole number from 1 to 2; got 3";
             {"Harnvale", 2.5, 1:401, 1:401, 1}, "sfblock:chart", "got 2.5";
             {"Harnvale", [], 1:401, 1:401, 1}, "sfblock:chart", "got a 0x0 double array";
             {"Harnvale", true, 1:401, 1:401, 1}, "sfblock:chart", "got a 1x1 logical array";
             {"Harnvale", sparse(2), 1:401, 1:401, 1}, "sfblock:chart", "got a 1x1 sparse double array";
             {"Harnvale", 2, 1:400, 1:400, 1}, "sfblock:table", "x (chart 2 of Harnvale reads 401) must be a full real double array of 401 elements; got a 1x400 double array";
             {"Harnvale", 2, 1:401, (1:401) * i, 1}, "sfblock:table", "y (chart 2 of Harnvale reads 401) must be a full real double array of 401 elements; got a 1x401 complex double array";
             {"Harnvale", 2, sparse(1:401), 1:401, 1}, "sfblock:table", "got a 1x401 sparse double array";
             {"Harnvale", 2, single(1:401), 1:401, 1}, "sfblock:table", "got a 1x401 single array";
             {"Harnvale", 2, int32(1:401), 1:401, 1}, "sfblock:table", "got a 1x401 int32 array";
             {h2{:}, "z"}, "sfblock:query", "z must be a full real double array; got a 1x1 char array";
             {h2{:}, sparse(1, 1e6)}, "sfblock:query", "z must be a full real double array; got a 1x1000000 sparse double array";
             {h2{:}, sparse([0 0 0 5])}, "sfblock:query", "got a 1x4 sparse double array";
             {h2{:}, sparse(zeros(1, 5))}, "sfblock:query", "got a 1x5 sparse double array";
             {h2{:}, [1 2] + i}, "sfblock:query", "got a 1x2 complex double array";
             {h2{:}, true(1, 2)}, "sfblock:query", "got a 1x2 logical array";
             {h2{:}, struct("z", 1)}, "sfblock:query", "got a 1x1 struct array";
             {h2{:}, 1, "rate", "fast"}, "sfblock:option", "option 'rate' must be 'inherited', 'continuous' or 'discrete'; got 'fast'";
             {h2{:}, 1, "rate", 3}, "sfblock:option", "option 'rate' must be a text (a character row); got a 1x1 double array";
             {h2{:}, 1, "blocks", 0}, "sfblock:option", "option 'blocks' must be a whole number from 1 to 1000; got 0";
             {h2{:}, 1, "blocks", 1001}, "sfblock:option", "got 1001";
             {h2{:}, 1, "blocks", 2.5}, "sfblock:option", "got 2.5";
             {h2{:}, 1, "state", 5}, "sfblock:option", "option 'state' must be a saved state (a 1x1 struct); got a 1x1 double array";
             {h2{:}, 1, "state", struct("a", {1, 2})}, "sfblock:option", "got a 1x2 struct array";
             {h2{:}, 1, "colour", 1}, "sfblock:option", "unknown option 'colour' (known: rate, blocks, state, coverage, time, stoptime, stepsize, solver, sampletime)";
             {h2{:}, 1, ["co" char(27) "lour"], 1}, "sfblock:option", "unknown option 'co\\x1blour'";
             {h2{:}, 1, ["rate" char(0) "x"], 1}, "sfblock:option", "option name 1 must be a text without NUL characters; got 'rate\\x00x'";
             {h2{:}, 1, "blocks", 2, 7, 1}, "sfblock:option", "option name 2 must be a text (a character row); got a 1x1 double array";
             {h2{:}, 1, long_name, 1}, "sfblock:option", ["unknown option '" repmat("a", 1, 60) "...' (known"];
             ## The time mode's settings, each refused before any step.
             {h2{:}, [1 2], "time", 0}, "sfblock:option", "option 'time' must hold one time per element of z (2, at least 1); got a 1x1 double array";
             {h2{:}, [], "time", []}, "sfblock:option", "one time per element of z (0, at least 1)";
             {h2{:}, [1 2 3], "time", [0 1 1]}, "sfblock:option", "option 'time' must be finite and strictly increasing; element 3 is 1 after 1";
             {h2{:}, [1 2 3], "time", [0 NaN 1]}, "sfblock:option", "element 2 is NaN after 0";
             {h2{:}, [1 2], "time", [0 Inf]}, "sfblock:option", "element 2 is Inf after 0";
             {h2{:}, [1 2], "time", [0 1], "stepsize", 0}, "sfblock:option", "option 'stepsize' must be a positive number; got 0";
             {h2{:}, [1 2], "time", [0 1], "stepsize", -1}, "sfblock:option", "got -1";
             {h2{:}, [1 2], "time", [0 1], "stepsize", NaN}, "sfblock:option", "option 'stepsize' must be a positive number; got NaN";
             {h2{:}, [1 2], "time", [0 1], "stepsize", [1 2]}, "sfblock:option", "option 'stepsize' must be a real double scalar; got a 1x2 double array";
             {h2{:}, [1 2], "time", [0 1], "stoptime", -0.5}, "sfblock:option", "option 'stoptime' must not be before the start time 0; got -0.5";
             {h2{:}, [1 2], "time", [0 1], "stoptime", 1e300}, "sfblock:option", "option 'stoptime' gives more than 2^53 steps of 0.01 from 0 to 1";
             {h2{:}, [1 2], "time", [0 1], "stepsize", 1e-15}, "sfblock:option", "the time settings ('time', 'stoptime', 'stepsize') give 1000000000000001 major steps: y1 would take 8000000000000008 bytes, more than this machine's memory (";
             {h2{:}, [1 2], "time", [0 1], "stoptime", 1e13}, "sfblock:option", "give 1000000000000001 major steps: y1 would take";
             {h2{:}, [1 2], "time", [0 1], "solver", "ode6"}, "sfblock:option", "option 'solver' must be discrete, ode1, ode2, ode3, ode4 or ode5; got 'ode6'";
             {h2{:}, [1 2], "time", [0 1], "stepsize", 0.25, "rate", "discrete", "sampletime", 0.375}, "sfblock:option", "option 'sampletime' must be a whole multiple of the step size 0.25; got 0.375";
             {h2{:}, [1 2], "time", [0 1], "rate", "discrete", "sampletime", [0.5 0.5]}, "sfblock:option", "option 'sampletime' offset must be at least 0 and below the period 0.5; got 0.5";
             {h2{:}, [1 2], "time", [0 1], "rate", "discrete", "sampletime", [0.5 -0.25]}, "sfblock:option", "got -0.25";
             {h2{:}, [1 2], "time", [0 1], "stepsize", 0.25, "rate", "discrete", "sampletime", [0.5 0.125]}, "sfblock:option", "option 'sampletime' offset 0.125 falls between the major steps 0 + k * 0.25";
             {h2{:}, [1 2], "time", [0 1], "rate", "discrete", "sampletime", [1 2 3]}, "sfblock:option", "option 'sampletime' must be a period or [period, offset]; got a 1x3 double array";
             {h2{:}, [1 2], "time", [0 1], "sampletime", 0.05}, "sfblock:option", "option 'sampletime' applies to a discrete block only (rate discrete)";
             {h2{:}, [1 2], "stepsize", 0.1}, "sfblock:option", "option 'stepsize' needs option 'time' (the times of z)"};
for k = 1:rows (bad_calls)
  try
    sfblock (bad_calls{k, 1}{:});
    error ("test:noError", "bad call %d was accepted", k);
  catch err
    assert (err.identifier, bad_calls{k, 2}, sprintf ("bad call %d", k));
    assert (! isempty (strfind (err.message, bad_calls{k, 3})),
            sprintf ("bad call %d: %s", k, err.message));
    assert (numel (err.message) < 300, sprintf ("bad call %d: a message of %d bytes", k,
                                                numel (err.message)));
  end_try_catch
endfor
## What is unambiguous is taken: x and y of the right number of elements in any
## shape, a chart number of any real numeric class, option names and rates in any
## case; y1 has the size and shape of z, N-dimensional and empty sizes included.
x = linspace (0, 10, 401);
y = cos (x);
z = reshape (linspace (-1, 11, 12), 2, 3, 2);
want = reshape (sfblock ("Harnvale", 2, x, y, z(:)'), 2, 3, 2);
assert (sfblock ("Harnvale", int8 (2), x', reshape (y, 1, 1, 401), z), want);
assert (sfblock ("Harnvale", 2, x, y, z, "Rate", "DISCRETE", "BLOCKS", 3), want);
assert (size (sfblock ("Harnvale", 2, x, y, zeros (0, 2^32 + 5))), [0, 2^32 + 5]);
assert (size (sfblock ("Harnvale", 2, x, y, zeros (3, 0, 2))), [3 0 2]);
assert (sfblock ("Harnvale", 2, x, y, [1 2], "blocks", 1000), interp1 (x, y, [1 2]), 4 * eps);
## A raise ends the step whatever the host's "message" and "error" answer: a
## user's own functions that shadow ours (or Octave's) and return do not turn an
## interpolation error into y1.
bad_x = [NaN, x(2:end)];
user_message = "function m = message (id)\n  m = %s;\nendfunction\n";
shadows = {"message", sprintf(user_message, "[]"), "MATLAB:interp1:NaNinX", bad_x;
           "message", sprintf(user_message, "5"), "MATLAB:interp1:NaNinX", bad_x;
           "message", sprintf(user_message, "struct ('identifier', '', 'message', '')"), "MATLAB:interp1:NaNinX", bad_x;
           "message", sprintf(user_message, "[]"), "Coder:toolbox:interp1_nonMonotonicX", [x(1:9), x(9:400)];
           "error", "function error (varargin)\nendfunction\n", "MATLAB:interp1:NaNinX", bad_x};
warning ("off", "Octave:shadowed-function", "local");
for k = 1:rows (shadows)
  folder = tempname ();
  mkdir (folder);
  file = fullfile (folder, [shadows{k, 1} ".m"]);
  fid = fopen (file, "w");
  fputs (fid, shadows{k, 2});
  fclose (fid);
  addpath (folder);
  id = "";
  unwind_protect
    try
      sfblock ("Harnvale", 2, shadows{k, 4}, y, 1);
    catch err
      id = err.identifier;
    end_try_catch
  unwind_protect_cleanup
    rmpath (folder);
    delete (file);
    rmdir (folder);
  end_unwind_protect
  assert (id, shadows{k, 3}, sprintf ("shadowed %s, case %d", shadows{k, 1}, k));
endfor
## Rates: a continuous and a discrete block give the same y1 as an inherited one.
for rate = {"continuous", "discrete"}
  assert (sfblock ("Quimbrel", 2, 1:390, 1:390, [3.5 7 400], "rate", rate{1}), [3.5 7 NaN]);
endfor
## The time mode. Independent evaluation of the input in time: linear between two
## points in the order z_a + (z_b - z_a) * ((t - t_a) / (t_b - t_a)), the end values
## held outside; and of the chart inside its table, as the charts define it:
## Y(k) * (1 - r) + Y(k + 1) * r with r = (u - X(k)) / (X(k + 1) - X(k)).
function z = in_time (tz, zz, t)
  z = zeros (size (t));
  for k = 1:numel (t)
    a = find (tz <= t(k), 1, "last");
    if (isempty (a))
      z(k) = zz(1);
    elseif (a == numel (tz))
      z(k) = zz(end);
    elseif (t(k) == tz(a))
      z(k) = zz(a);
    else
      z(k) = zz(a) + (zz(a + 1) - zz(a)) * ((t(k) - tz(a)) / (tz(a + 1) - tz(a)));
    endif
  endfor
endfunction
function y1 = chart_at (X, Y, u)
  y1 = zeros (size (u));
  for j = 1:numel (u)
    k = min (find (X <= u(j), 1, "last"), numel (X) - 1);
    if (Y(k) == Y(k + 1))
      y1(j) = Y(k);
    else
      r = (u(j) - X(k)) / (X(k + 1) - X(k));
      y1(j) = Y(k) * (1 - r) + Y(k + 1) * r;
    endif
  endfor
endfunction
X = 1:401;
Y = sin (X / 7);
id = {"Harnvale", 2, X, Y};
tz = [0, 0.3, 1.1, 2];
zz = [1.5, 7, 3, 20];
## Rows: extra options, the major steps' times expected, the sample hits (step
## numbers from 0, [] for every step).
time_runs = {{}, (0:200) * 0.01, [];
             {"stoptime", 2.5}, (0:250) * 0.01, [];          # z holds after the last point
             {"stepsize", 0.125, "stoptime", 4}, (0:32) * 0.125, [];  # 4 / 0.125: 33 steps
             {"stepsize", 0.3}, (0:6) * 0.3, [];              # on the input's times and off them
             {"solver", "ode5", "rate", "continuous"}, (0:200) * 0.01, [];
             {"rate", "discrete", "sampletime", 0.05}, (0:200) * 0.01, 0:5:200;
             {"rate", "discrete", "sampletime", [0.05, 0.02]}, (0:200) * 0.01, 2:5:200;
             {"rate", "discrete", "sampletime", [0.25, 0.1], "solver", "ode4"}, (0:200) * 0.01, 10:25:200};
for k = 1:rows (time_runs)
  [y1, ~, t] = sfblock (id{:}, zz, "time", tz, time_runs{k, 1}{:});
  assert (isequal (t, time_runs{k, 2}), sprintf ("time run %d: the steps' times", k));
  want = chart_at (X, Y, in_time (tz, zz, t));
  hits = time_runs{k, 3};
  if (! isempty (hits))
    ## y1 holds the last hit's input between hits, and 0 before the first.
    held = zeros (size (t));
    for j = 1:numel (t)
      last = hits(find (hits <= j - 1, 1, "last"));
      if (! isempty (last))
        held(j) = want(last + 1);
      endif
    endfor
    want = held;
  endif
  assert (isequal (y1, want), sprintf ("time run %d: y1 differs from the input in time", k));
endfor
## A column z gives columns; an interpolating table agrees with interp1.
x = linspace (0, 10, 401);
y = cos (x);
[y1, ~, t] = sfblock ("Harnvale", 2, x, y, [2; 9], "Time", [0; 1], "StepSize", 0.1);
assert (size (y1), [11, 1]);
assert (y1, interp1 (x, y, 2 + 7 * t, "linear", "extrap"), 4 * eps);
## Minor steps run the chart: the state after the run is that of the solver's last
## stage, at t_end + c * H (a discrete block steps in major steps only).
last_stage = {"discrete", 0; "ode1", 0; "ode2", 1; "ode3", 0.75; "ode4", 1; "ode5", 1};
for k = 1:rows (last_stage)
  [y1, s] = sfblock (id{:}, zz, "time", tz, "stoptime", 1, "solver", last_stage{k, 1});
  assert (isequal (s.y1, chart_at (X, Y, in_time (tz, zz, 1 + last_stage{k, 2} * 0.01))),
          last_stage{k, 1});
  assert (isequal (y1(end), chart_at (X, Y, in_time (tz, zz, 1))));
  [~, s] = sfblock (id{:}, zz, "time", tz, "stoptime", 1, "solver", last_stage{k, 1}, "rate", "discrete");
  assert (isequal (s.y1, chart_at (X, Y, in_time (tz, zz, 1))), [last_stage{k, 1} " discrete"]);
endfor
## A message spells the numbers of the step as sfsim does (NaN, Inf), not as C's
## printf does.
for z = {NaN, -Inf}
  try
    sfblock ("Harnvale", 2, [NaN, 2:401], 1:401, z{1});
    error ("test:noError", "a NaN breakpoint was accepted");
  catch err
    want = sprintf ("step 0 (time 0, z %s): NaN is not", {"NaN", "-Inf"}{1 + isinf(z{1})});
    assert (! isempty (strfind (err.message, want)), err.message);
  end_try_catch
endfor
## Every block started was terminated: the locks it took are released.
assert (mislocked ("sfblock"), false);
printf ("%d tables against interp1, worst difference %g ulps of max|y|\n", runs, worst);
