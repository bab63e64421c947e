unit t; const S = 'abc;
end.