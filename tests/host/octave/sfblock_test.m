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
## Usage errors.
bad_calls = {{"Harnvale", 2, 1:401, 1:401}, "sfblock:usage";
             {"Nope", 2, 1:401, 1:401, 1}, "sfblock:model";
             {"Quimbrel", 3, 1:401, 1:401, 1}, "sfblock:chart";
             {"Harnvale", 2, 1:400, 1:400, 1}, "sfblock:table";
             {"Harnvale", 2, 1:401, (1:401) * i, 1}, "sfblock:table";
             {"Harnvale", 2, 1:401, 1:401, "z"}, "sfblock:query";
             {"Harnvale", 2, 1:401, 1:401, 1, "rate", "fast"}, "sfblock:option";
             {"Harnvale", 2, 1:401, 1:401, 1, "blocks", 0}, "sfblock:option";
             {"Harnvale", 2, 1:401, 1:401, 1, "colour", 1}, "sfblock:option"};
for k = 1:rows (bad_calls)
  try
    sfblock (bad_calls{k, 1}{:});
    error ("test:noError", "bad call %d was accepted", k);
  catch err
    assert (err.identifier, bad_calls{k, 2});
  end_try_catch
endfor
## Rates: a continuous and a discrete block give the same y1 as an inherited one.
for rate = {"continuous", "discrete"}
  assert (sfblock ("Quimbrel", 2, 1:390, 1:390, [3.5 7 400], "rate", rate{1}), [3.5 7 NaN]);
endfor
## Every block started was terminated: the locks it took are released.
assert (mislocked ("sfblock"), false);
printf ("%d tables against interp1, worst difference %g ulps of max|y|\n", runs, worst);
