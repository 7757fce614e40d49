## Octave's memory does not grow over a thousand calls of each kind: queries
## (the largest answer included), sfblock runs, and calls that end in errors.
1;  # a script, not a function file

function kb = rss_kb ()
  status = fileread ("/proc/self/status");
  kb = str2double (regexp (status, 'VmRSS:\s*(\d+)', "tokens", "once"){1});
endfunction

function growth = grows (f)
  for k = 1:200    # warm-up: caches, first loads, allocator pools
    f ();
  endfor
  before = rss_kb ();
  for k = 1:1000
    f ();
  endfor
  growth = rss_kb () - before;
endfunction

function expect_error (f, id)
  try
    f ();
  catch err
    if (! strcmp (err.identifier, id) && ! strcmp (err.message, id))
      rethrow (err);
    endif
    return;
  end_try_catch
  error ("test:noError", "expected the error %s", id);
endfunction

x = linspace (0, 10, 243);
y = cos (x);
nan_x = x;
nan_x(7) = NaN;
kinds = {
  "Octave alone (a baseline)", @() zeros (1, 4);
  "checksum queries", @() Harnvale_sfun ("sf_get_check_sum", "chart", 3);
  "resolved-functions reports", @() Quimbrel_sfun ("get_eml_resolved_functions_info", "Quimbrel", 1);
  "autoinheritance records", @() Harnvale_sfun ("get_autoinheritance_info", "Harnvale", 3, "FiBgl2Y2MRxFUF287zST3B");
  "sfblock runs", @() sfblock ("Harnvale", 3, x, y, linspace (-1, 11, 20));
  "sfblock runs with a saved state", @() sfblock ("Harnvale", 3, x, y, 2, "state", nthargout (2, @sfblock, "Harnvale", 3, x, y, 1));
  "unsuccessful commands", @() expect_error (@() Quimbrel_sfun ("bogus"), "Quimbrel_sfun: Unsuccessful command.");
  "interpolation errors", @() expect_error (@() sfblock ("Harnvale", 3, nan_x, y, 1:5), "MATLAB:interp1:NaNinX");
  "usage errors", @() expect_error (@() sfblock ("Harnvale", 3, x(1:10), y(1:10), 1), "sfblock:table")};
grows (@() zeros (1, 4));  # the measurement's own first growth (Octave's, ~0.5 MB)
for k = 1:rows (kinds)
  kb = grows (kinds{k, 2});
  printf ("%-32s %6d kB after 1000 calls\n", kinds{k, 1}, kb);
  assert (kb <= 512, sprintf ("%s: memory grew by %d kB over 1000 calls", kinds{k, 1}, kb));
endfor
assert (mislocked ("sfblock"), false);
## Every chart record taken from the host heap by a block start went back.
assert (adapter_probe ("utlive", [], 0), 0);
[~, ~] = sfblock ("Quimbrel", 2, 1:390, 1:390, 1:3, "blocks", 3);
assert (adapter_probe ("utlive", [], 0), 0);
