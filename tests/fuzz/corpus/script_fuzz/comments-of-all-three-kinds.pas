unit t; { braces } (* parens
 *) // line
function F(A, B: Integer): Integer; begin Result := A { inside } + (* here *) B; // done
 end; end.