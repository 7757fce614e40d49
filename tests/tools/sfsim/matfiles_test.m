## MAT-files between Octave and sfsim, for all five charts: tables and queries
## saved by Octave (-v7 and -v6) are read by sfsim; its results and saved states
## load in Octave and agree bit for bit with the same plug-in run from Octave
## (sfblock); a run cut in two through a MAT-file state ends as the whole run.
1;  # a script, not a function file

function out = sfsim_run (varargin)
  cmd = sprintf ("'%s' run %s 2>&1", getenv ("SF_SFSIM"), strjoin (varargin, " "));
  [status, out] = system (cmd);
  assert (status, 0, sprintf ("%s\n%s", cmd, out));
endfunction

function bits_equal (a, b, what)
  assert (strcmp (class (a), class (b)) && isequal (size (a), size (b)), [what ": class or size"]);
  if (isfloat (a))
    assert (isequal (typecast (a(:), "uint64"), typecast (b(:), "uint64")), [what ": bits differ"]);
  else
    assert (isequal (a, b), [what ": values differ"]);
  endif
endfunction

dir = tempname ();
mkdir (dir);
unwind_protect
  charts = struct ("model", {"Harnvale", "Harnvale", "Harnvale", "Quimbrel", "Quimbrel"},
                   "chart", {1, 2, 3, 1, 2}, "n", {2402, 401, 243, 2722, 390});
  rand ("seed", 7);
  for c = charts
    f = @(name) fullfile (dir, name);
    x = cumsum (0.05 + rand (c.n, 1))';
    y = 1e3 * sin (x / 7) + rand (1, c.n);
    z = [x(1) - 3, x(1) + (x(end) - x(1)) * rand(1, 60), x(end) + 2];
    x_bp = x;  ## under other names too, for --x-var and --y-var
    y_vals = y;
    save ("-v7", f ("table7.mat"), "x", "y");
    save ("-v6", f ("table6.mat"), "x_bp", "y_vals");
    save ("-v6", f ("z6.mat"), "z");
    base = sprintf ("--model %s --chart %d", c.model, c.chart);
    sfsim_run (base, "--table", f ("table7.mat"), "--z", f ("z6.mat"), "--out", f ("r7.mat"),
               "--save-state", f ("s7.mat"));
    sfsim_run (base, "--table", f ("table6.mat"), "--x-var x_bp --y-var y_vals", "--z",
               f ("z6.mat"), "--out", f ("r6.mat"));
    r = load (f ("r7.mat"));
    assert (fieldnames (r), {"step"; "time"; "z"; "y1"});
    n = numel (z);
    bits_equal (r.step, (0:n-1)', "step");
    bits_equal (r.time, (0:n-1)' * 0.01, "time");
    bits_equal (r.z, z(:), "z");
    [y1, state] = sfblock (c.model, c.chart, x, y, z);
    bits_equal (r.y1, y1(:), sprintf ("%s c%d y1", c.model, c.chart));
    bits_equal (load (f ("r6.mat")).y1, r.y1, "y1 from the -v6 table");
    s = load (f ("s7.mat")).state;
    assert (fieldnames (s), fieldnames (state));
    for name = fieldnames (state)(2:end)'   # all but the block handle, which is sfsim's own
      bits_equal (s.(name{1}), state.(name{1}), ["state." name{1}]);
    endfor
    ## Cut in two: the second half restored from the first half's MAT-file state.
    z1 = z(1:30);
    z2 = z(31:end);
    save ("-v7", f ("z1.mat"), "z1");
    save ("-v7", f ("z2.mat"), "z2");
    sfsim_run (base, "--table", f ("table7.mat"), "--z", f ("z1.mat"), "--z-var z1", "--out",
               f ("h1.mat"), "--save-state", f ("h1s.mat"));
    sfsim_run (base, "--table", f ("table7.mat"), "--z", f ("z2.mat"), "--z-var z2", "--out",
               f ("h2.mat"), "--restore-state", f ("h1s.mat"), "--save-state", f ("h2s.mat"));
    bits_equal ([load(f ("h1.mat")).y1; load(f ("h2.mat")).y1], r.y1, "halves");
    assert (isequaln (load (f ("h2s.mat")).state, s), "the state of the halves differs");
  endfor
  ## A bad MAT-file is an input error (exit 2) naming the file and the variable.
  f = @(name) fullfile (dir, name);
  x = (0:389) / 10;
  y = complex (x, 1);
  save ("-v7", f ("complex.mat"), "x", "y");
  y = x;
  save ("-hdf5", f ("hdf5.mat"), "x", "y");
  save ("-v7", f ("t.mat"), "x", "y");
  y = 1:10;
  save ("-v6", f ("short.mat"), "x", "y");
  ## y's dimensions claim 243 values where its data holds 10 (its second dimension,
  ## after x's 390 doubles): Octave refuses the file too.
  fid = fopen (f ("short.mat"), "r+");
  fseek (fid, 128 + (56 + 390 * 8) + 8 + 16 + 8 + 4, SEEK_SET);
  fwrite (fid, 243, "int32");
  fclose (fid);
  try, load (f ("short.mat")); loaded = true; catch, loaded = false; end_try_catch
  assert (! loaded, "Octave loaded a file whose y claims more than it holds");
  z = [];
  save ("-v6", f ("zempty.mat"), "z");
  state = 1;
  save ("-v7", f ("state1.mat"), "state");
  cases = {"--table %s", "complex.mat", "variable 'y': complex values are not accepted";
           "--table %s", "short.mat", ["variable 'y': truncated or corrupt: its data holds " ...
                                       "10 values where its size 1x243 claims 243"];
           "--table t.mat --z %s", "zempty.mat", "variable 'z': the variable holds no query";
           "--table t.mat --restore-state %s", "state1.mat", ...
           "variable 'state': expected a saved state (a 1x1 struct), got double 1x1";
           "--table %s", "hdf5.mat", ["a MAT-file of version 7.3 (HDF5), which sfsim does not " ...
                                      "read: save it as version 7 instead (save -v7 in Octave " ...
                                      "or MATLAB)"]};
  for k = 1:rows (cases)
    [status, out] = system (sprintf ("cd '%s' && '%s' run --model Quimbrel --chart 2 %s 2>&1", dir,
                                     getenv ("SF_SFSIM"), sprintf (cases{k, 1}, f (cases{k, 2}))));
    assert (status, 2, out);
    assert (strtrim (out), ["sfsim: " f(cases{k, 2}) ": " cases{k, 3}]);
  endfor
unwind_protect_cleanup
  confirm_recursive_rmdir (false, "local");
  rmdir (dir, "s");
end_unwind_protect
printf ("MAT-files of all five charts agree with sfblock bit for bit\n");
