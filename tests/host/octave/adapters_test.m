## The `_700` adapters inside Octave: sizes and indices that do not convert are
## Octave errors naming the operation, never a read or write outside an array;
## texts are cut to the buffer and terminated (Octave's own mxGetString leaves
## a buffer that is too short untouched).
assert (size (adapter_probe ("create", 2, 3)), [2 3]);
assert (size (adapter_probe ("numeric", [0 3 0], 0)), [0 3]);
assert (adapter_probe ("chars", [2 0 0], 0), "xy");
assert (adapter_probe ("strings", [2 0 0], 0), ["ab"; "cd"]);
assert (size (adapter_probe ("newstruct", [1 2 2], 0)), [1 2]);
assert (size (adapter_probe ("newcell", [3 0 0], 0)), [3 0]);
s = struct ("a", {10, 20});
assert (adapter_probe ("field", s, 1), 20);
assert (adapter_probe ("cell", {5, "x"}, 1), "x");
t = adapter_probe ("text", "abcdef", 4);
assert ([t.result, double(t.text)], [1, double("abc")]);
t = adapter_probe ("text", "abc", 4);
assert ([t.result, double(t.text)], [0, double("abc")]);
t = adapter_probe ("text", 42, 4);
assert ([t.result, numel(t.text)], [1, 0]);
bad = {{"create", -1, 3}, "mxAdapter:negativeSize", "mxCreateDoubleMatrix_700: the row count must not be negative, got -1.";
       {"create", 2, -5}, "mxAdapter:negativeSize", "mxCreateDoubleMatrix_700: the column count must not be negative, got -5.";
       {"numeric", [-1 3 0], 0}, "mxAdapter:negativeSize", "mxCreateNumericMatrix_700: the row count must not be negative, got -1.";
       {"numeric", [1 -3 0], 0}, "mxAdapter:negativeSize", "mxCreateNumericMatrix_700: the column count must not be negative, got -3.";
       {"chars", [-1 0 0], 0}, "mxAdapter:negativeSize", "mxCreateStringFromNChars_700: the character count must not be negative, got -1.";
       {"strings", [-2 0 0], 0}, "mxAdapter:negativeSize", "mxCreateCharMatrixFromStrings_700: the row count must not be negative, got -2.";
       {"newstruct", [-1 1 2], 0}, "mxAdapter:negativeSize", "mxCreateStructMatrix_700: the row count must not be negative, got -1.";
       {"newstruct", [1 -1 2], 0}, "mxAdapter:negativeSize", "mxCreateStructMatrix_700: the column count must not be negative, got -1.";
       {"newstruct", [1 1 -2], 0}, "mxAdapter:negativeSize", "mxCreateStructMatrix_700: the field count must not be negative, got -2.";
       {"newcell", [-4 1 0], 0}, "mxAdapter:negativeSize", "mxCreateCellMatrix_700: the row count must not be negative, got -4.";
       {"newcell", [1 -4 0], 0}, "mxAdapter:negativeSize", "mxCreateCellMatrix_700: the column count must not be negative, got -4.";
       {"field", s, 2}, "mxAdapter:indexOutOfRange", "mxGetField_700: index 2 is outside an array of 2 elements.";
       {"field", s, -1}, "mxAdapter:indexOutOfRange", "mxGetField_700: index -1 is outside an array of 2 elements.";
       {"field", 7, 0}, "mxAdapter:wrongClass", "mxGetField_700: expected a struct, got double.";
       {"cell", {1}, 1}, "mxAdapter:indexOutOfRange", "mxGetCell_700: index 1 is outside an array of 1 elements."};
for k = 1:rows (bad)
  try
    adapter_probe (bad{k, 1}{:});
    error ("test:noError", "case %d was accepted", k);
  catch err
    assert (err.identifier, bad{k, 2});
    assert (err.message, ["adapter_probe: " bad{k, 3}]);
  end_try_catch
endfor
printf ("%d adapter errors as expected\n", rows (bad));
## sfprivate quotes a conversion it does not know as sfblock quotes a text.
for c = {{["chart" char(27) "x" char(10)], '''chart\x1bx\n'''}, ...
         {repmat("b", 1, 500), ["'" repmat("b", 1, 60) "...'"]}}
  try
    sfprivate (c{1}{1});
    error ("test:noError", "an unknown conversion was accepted");
  catch err
    assert (err.identifier, "Stateflow:sfprivate:BadCall");
    assert (err.message, ["sfprivate: unknown conversion " c{1}{2} "."]);
  end_try_catch
endfor
